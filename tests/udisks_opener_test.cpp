// The descriptors UDisks2 hands back are opened as the process would open
// the card itself: O_DIRECT, and for writing exclusively (O_EXCL) or with
// O_DSYNC where the card's sectors are not 512 bytes; reading never holds
// the card. Runs under tests/udisks_harness.sh as root (polkit allows root
// everything), skipped elsewhere.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "card_test_util.h"
#include "udisks/udisks_opener.h"
#include "udisks_harness.h"

namespace tscard {
namespace {

TEST(UDisksOpener, HandsBackTheFlagsTheCardIsOpenedWith) {
    const test::UDisksHarness harness;
    if (!harness.Present()) GTEST_SKIP() << "runs under tests/udisks_harness.sh (ctest runs it so)";
    const std::filesystem::path image = harness.Work / "flags.img";
    test::MakeImage(image, 4 << 20, 0x5A);
    const test::HarnessLoop loop(harness, image);
    ASSERT_FALSE(loop.node.empty());

    struct Case {
        const char* name;
        int flags;
        bool exclusive;  // another O_EXCL open is refused while it is held
    };
    const Case cases[] = {
        {"read", O_RDONLY | O_DIRECT, false},
        {"write", O_RDWR | O_EXCL | O_DIRECT, true},
        {"write without O_DIRECT", O_RDWR | O_EXCL | O_DSYNC, true},
    };
    udisks::UDisksOpener opener(udisks::Interaction::Never, false);
    for (const Case& c : cases) {
        int fd = -1;
        const Status opened = opener.Open(loop.node, c.flags, fd);
        ASSERT_TRUE(opened.ok()) << c.name << ": " << opened.message();
        const int held = ::fcntl(fd, F_GETFL);
        EXPECT_EQ(held & O_ACCMODE, c.flags & O_ACCMODE) << c.name;
        EXPECT_EQ(held & (O_DIRECT | O_DSYNC), c.flags & (O_DIRECT | O_DSYNC)) << c.name;
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << c.name;
        const int other = ::open(loop.node.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
        const int error = errno;
        if (c.exclusive)
            EXPECT_TRUE(other < 0 && error == EBUSY) << c.name;
        else
            EXPECT_GE(other, 0) << c.name;
        if (other >= 0) ::close(other);
        ::close(fd);
    }
    std::filesystem::remove(image);
}

}  // namespace
}  // namespace tscard
