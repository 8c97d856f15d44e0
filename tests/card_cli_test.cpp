// tscard-cli card list / info / format / clear, end to end on card images.

#include <gtest/gtest.h>

#include "card_fake_system.h"
#include "support/test_support.h"

namespace tscard {
namespace {

using test::RunCli;

constexpr std::uint64_t kMiB = 1 << 20;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CardCli, FormatInfoAndClearAnImage) {
    test::TempDir dir;
    const std::string card = (dir / "card.img").string();
    test::MakeImage(card, 1977614336 / 64, 0x00);

    auto r = RunCli({"card", "info", card});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "File system: Unknow v0.0\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Free: Mast be formated\n")) << r.out;

    r = RunCli({"card", "format", card});  // an image needs no --yes
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "Formatted Card 0[29 MB],Drive letter -" + card + "\tDORO  v0.0\tCapacity 29.4375 MB\tFree 29.4375 MB\n");
    const std::vector<std::uint8_t> bytes = test::ReadFileBytes(card);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<std::uint8_t>{0x48, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0xFF}));

    r = RunCli({"card", "info", card});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    for (const char* line : {"Card: Card 0[29 MB],Drive letter -", "File system: DORO  v0.0\n", "Formatted: yes\n",
                             "Total sectors: 60352\n", "Data units: 3768\n", "Capacity: 29.4375 MB\n",
                             "Free: 29.4375 MB\n", "Flags: 0x01\n", "Bit rate: 0 kbit/s\n", "Streams: 0\n"})
        EXPECT_TRUE(Contains(r.out, line)) << line << "\n" << r.out;

    r = RunCli({"card", "clear", card});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Cleared Card 0[29 MB]")) << r.out;
}

TEST(CardCli, InfoListsStreamsWithTheirNamesInTheCodePage) {
    test::TempDir dir;
    const std::string card = (dir / "card.img").string();
    test::WriteFileBytes(card, test::FormattedCardImage(2 * kMiB, "\xCF\xF0\xE8\xEC\xE5\xF0.ts"));
    const auto r = RunCli({"--codepage", "cp1251", "card", "info", card});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "File system: DORO  v0.1\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Bit rate: 120000 kbit/s\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Streams: 1\n  0: \"Пример.ts\" start sector 61, length 2, last slot 13\n")) << r.out;
}

TEST(CardCli, FullFormatFillsTheImage) {
    test::TempDir dir;
    const std::string card = (dir / "card.img").string();
    test::MakeImage(card, 2 * kMiB + 4096, 0x00);
    const auto r = RunCli({"card", "format", card, "--full"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::vector<std::uint8_t> bytes = test::ReadFileBytes(card);
    for (std::size_t i = 7; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0xFF) << i;
}

TEST(CardCli, ErrorsNameTheCardAndTheReason) {
    test::TempDir dir;
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        std::string message;
    };
    const std::string missing = (dir / "missing.img").string();
    const std::string tiny = (dir / "tiny.img").string();
    test::MakeImage(tiny, 4096, 0x00);
    const Case cases[] = {
        {{"card", "info", missing}, 1, missing + ": cannot open"},
        {{"card", "format", dir.path().string()}, 1, "not a card"},
        {{"card", "format", tiny}, 1, "too small for the card layout"},
        {{"card", "info", tiny}, 1, tiny + ": cannot read 31232 bytes at offset 0"},
        {{"card", "format"}, 2, "CARD"},
        {{"card"}, 2, ""},
    };
    for (const Case& c : cases) {
        const auto r = RunCli(c.args);
        EXPECT_EQ(r.exit_code, c.exit_code) << c.args.back() << "\n" << r.err;
        EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_EQ(test::ReadFileBytes(tiny), std::vector<std::uint8_t>(4096, 0x00));
}

TEST(CardCli, ListThroughAFakeSystem) {
    test::FakeSystem sys;
    sys.Add({"sda", "8:0", "0", "0"}, std::vector<std::uint8_t>(kMiB, 0x00));
    sys.Add({"sdb", "8:16", "1", "0"}, test::FormattedCardImage(2 * kMiB));
    sys.Add({"sdc", "8:32", "1", "0"}, std::vector<std::uint8_t>(kMiB, 0x00));
    const test::DiscoveryEnvironment env(sys.Roots());

    auto r = RunCli({"card", "list"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "Card 0[2 MB],Drive letter -" + sys.Node("sdb") +
                         "\tDORO  v0.0\tCapacity 1.9688 MB\tFree 1.9688 MB\n"
                         "Card 1[1 MB],Drive letter -" + sys.Node("sdc") +
                         "\tUnknow v0.0\tCapacity 0.9688 MB\tMast be formated\n");

    r = RunCli({"card", "info", sys.Node("sdc")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Card: Card 0[1 MB],Drive letter -" + sys.Node("sdc"))) << r.out;
}

TEST(CardCli, ListWithoutCards) {
    test::FakeSystem sys;
    sys.Add({"sda", "8:0", "0", "0"}, std::vector<std::uint8_t>(kMiB, 0x00));
    const test::DiscoveryEnvironment env(sys.Roots());
    const auto r = RunCli({"card", "list"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(r.out.empty());
    EXPECT_TRUE(Contains(r.err, "No connect memory card")) << r.err;
}

}  // namespace
}  // namespace tscard
