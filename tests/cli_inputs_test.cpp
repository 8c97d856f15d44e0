// Inputs that are not stream files, end to end: every command that reads a
// stream refuses a FIFO, a character device or a folder at once (a FIFO
// without a writer never holds it up), before it writes anything; a file
// that holds no stream fails every command that measures or reads it; a
// block device is read as the file it holds.

#include <gtest/gtest.h>

#include <functional>

#include <unistd.h>

#include "card_test_util.h"
#include "support/test_support.h"

namespace tscard {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CliInputs : public ::testing::Test {
protected:
    void SetUp() override {
        test::MakeImage(card_, 4 << 20, 0x00);
        ASSERT_EQ(test::RunCli({"card", "format", card_.string()}).exit_code, 0);
        test::WriteFileBytes(dir_ / "old.ts", {1, 2, 3});
        std::filesystem::create_directory(dir_ / "out");
    }

    // Every command that reads a stream, on `input`; outputs go to dir_.
    std::vector<std::vector<std::string>> Commands(const std::string& input) const {
        const std::string old = (dir_ / "old.ts").string();
        return {
            {"analyze", input},
            {"analyze", input, "--mode", "card"},
            {"bitrate", input},
            {"bitrate", input, "--stream"},
            {"prepare", input, old, "--force"},
            {"prepare", input, (dir_ / "new.ts").string(), "--force"},
            {"splice", old, input},
            {"splice", old, input, "--append"},
            {"demux", input, (dir_ / "out").string()},
            {"card", "write", card_.string(), input, "--bitrate", "1000"},
        };
    }

    // Runs each command; each must fail naming the input, and leave the
    // card, the outputs and the folder as they were.
    void ExpectEveryCommandRefuses(const std::string& input, const std::string& reason,
                                   const std::function<bool(const std::vector<std::string>&)>& applies = {}) {
        const auto card_before = test::ReadFileBytes(card_);
        const auto names_before = FolderNames(dir_.path());
        for (const auto& args : Commands(input)) {
            if (applies && !applies(args)) continue;
            SCOPED_TRACE(::testing::PrintToString(args));
            const auto r = test::RunCli(args);
            EXPECT_EQ(r.exit_code, 1) << r.err;
            EXPECT_TRUE(Contains(r.err, input + ": " + reason)) << r.err;
            EXPECT_EQ(test::ReadFileBytes(dir_ / "old.ts"), (std::vector<std::uint8_t>{1, 2, 3}));
            EXPECT_EQ(test::ReadFileBytes(card_), card_before);
            EXPECT_EQ(FolderNames(dir_.path()), names_before);
            EXPECT_TRUE(std::filesystem::is_empty(dir_ / "out"));
        }
    }

    test::TempDir dir_;
    std::filesystem::path card_ = dir_ / "card.img";
};

TEST_F(CliInputs, SpecialFilesAreRefusedAtOnce) {
    struct Case {
        const char* name;
        std::function<bool(const std::filesystem::path&)> make;
        const char* kind;
    };
    const Case cases[] = {
        {"fifo.ts", test::MakeFifo, "a FIFO"},
        {"folder.ts", [](const std::filesystem::path& p) { return std::filesystem::create_directory(p); }, "a folder"},
        {"zero.ts", [](const std::filesystem::path& p) { return test::MakeMemoryDevice(p, test::MemoryDevice::Zero); },
         "a character device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto input = dir_ / c.name;
        if (!c.make(input)) continue;  // device nodes need root
        ExpectEveryCommandRefuses(input.string(), std::string("is not a regular file (") + c.kind + ")");
        std::filesystem::remove(input);
    }
}

TEST_F(CliInputs, AFileWithoutAStreamFailsEveryCommandThatReadsOne) {
    std::vector<std::uint8_t> random(200000);
    std::uint32_t x = 12345;
    for (auto& b : random) b = static_cast<std::uint8_t>((x = x * 1103515245 + 12345) >> 16);
    test::WriteFileBytes(dir_ / "random.ts", random);
    test::WriteFileBytes(dir_ / "empty.ts", {});
    ExpectEveryCommandRefuses((dir_ / "random.ts").string(), "Unknow stream format (no 188- or 192-byte packets");
    ExpectEveryCommandRefuses((dir_ / "empty.ts").string(), "Unknow stream format (the file is empty)");
}

// A block device holds a stream as a file does: every command takes its
// size from the device (its file status says 0) and gives what it gives
// for the same bytes in a file.
TEST_F(CliInputs, ABlockDeviceIsReadLikeAFileHoldingTheSameBytes) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root";
    if (!test::HasFixture("multi3.ts")) GTEST_SKIP() << "fixtures not generated";
    // Three programs for most commands, one for prepare; whole packets in
    // whole sectors, as a loop device shows a file.
    auto place = [&](const std::string& fixture, const std::string& name) {
        auto bytes = test::ReadFileBytes(test::Fixture(fixture));
        bytes.resize(bytes.size() / 24064 * 24064);
        test::WriteFileBytes(dir_ / name, bytes);
        return (dir_ / name).string();
    };
    const std::string multi = place("multi3.ts", "multi.ts");
    const std::string single = place("single_muxrate.ts", "single.ts");
    test::AttachedLoop multi_loop(place("multi3.ts", "multi.img"));
    test::AttachedLoop single_loop(place("single_muxrate.ts", "single.img"));
    if (multi_loop.node.empty() || single_loop.node.empty()) GTEST_SKIP() << "no loop device";

    // What each command gives for its input: its standard output (the
    // input's name taken out) and the bytes of its outputs (the card's past
    // its header, which names the stream).
    auto results = [&](const std::string& input, const std::string& single_input, const std::string& tag) {
        const auto out = dir_ / tag;
        std::filesystem::create_directories(out / "demux");
        auto named = [&](std::string text) {
            for (const std::string& path : {input, single_input}) {
                const std::string base = std::filesystem::path(path).filename().string();
                for (const auto& [from, to] : {std::pair{out.string(), std::string("OUT")},
                                               std::pair{path, std::string("INPUT")}, std::pair{base, std::string("INPUT")}})
                    for (std::size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
            }
            return text;
        };
        std::vector<std::string> got;
        auto run = [&](std::vector<std::string> args) {
            SCOPED_TRACE(tag + ": " + ::testing::PrintToString(args));
            const auto r = test::RunCli(args);
            EXPECT_EQ(r.exit_code, 0) << r.err;
            got.push_back(named(r.out));
        };
        auto bytes_of = [&](const std::filesystem::path& path, std::size_t skip = 0) {
            const auto all = test::ReadFileBytes(path);
            got.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(std::min(skip, all.size())), all.end());
        };
        run({"analyze", input});
        run({"bitrate", input});
        run({"prepare", single_input, (out / "prepared.ts").string()});
        bytes_of(out / "prepared.ts");
        run({"demux", input, (out / "demux").string()});
        for (const auto& name : FolderNames(out / "demux")) bytes_of(out / "demux" / name);
        run({"splice", (out / "spliced.ts").string(), input, single});
        bytes_of(out / "spliced.ts");
        run({"card", "write", card_.string(), input, "--bitrate", "1000"});
        bytes_of(card_, 31232);
        return got;
    };
    const auto from_file = results(multi, single, "file");
    const auto from_device = results(multi_loop.node, single_loop.node, "device");
    ASSERT_EQ(from_device.size(), from_file.size());
    for (std::size_t i = 0; i < from_file.size(); ++i) {
        EXPECT_FALSE(from_file[i].empty()) << i;
        EXPECT_EQ(from_device[i], from_file[i]) << i;
    }
}

}  // namespace
}  // namespace tscard
