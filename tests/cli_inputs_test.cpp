// Inputs that are not stream files, end to end: every command that reads a
// stream refuses a FIFO, a character device or a folder at once (a FIFO
// without a writer never holds it up), before it writes anything; a file
// that holds no stream fails every command that measures or reads it.

#include <gtest/gtest.h>

#include <functional>

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
    // Splicing copies bytes as they are: any file will do.
    auto reads_stream = [](const std::vector<std::string>& args) { return args[0] != "splice"; };
    ExpectEveryCommandRefuses((dir_ / "random.ts").string(), "", reads_stream);
    ExpectEveryCommandRefuses((dir_ / "empty.ts").string(), "", reads_stream);
}

}  // namespace
}  // namespace tscard
