// Names as the command line prints and stores them: control characters in
// service, card entry and file names come out escaped in text output and
// errors, and a file name the code page cannot hold loses only the bytes it
// cannot write.

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "card/card_directory.h"
#include "card_test_util.h"
#include "card_write_util.h"
#include "prepare_streams.h"
#include "support/test_support.h"

namespace tscard {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool HasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b < 0x20 && b != '\n') || b == 0x7F;
    });
}

TEST(CliNames, ControlCharactersInServiceNamesPrintEscaped) {
    test::TempDir dir;
    test::Mux m;
    m.Pat().Pmt();
    for (const Packet& p : test::SectionPackets(kSdtPid, test::SdtSection({{1, {{"Pro\nvider", "Chan\x1b[2Jnel\\"}}}})))
        m.Put(p);
    m.Pcr(test::k40ms).Video(3).Pcr(2 * test::k40ms);
    test::WriteFileBytes(dir / "names.ts", m.Bytes());

    auto r = test::RunCli({"analyze", (dir / "names.ts").string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(HasControl(r.out)) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Provider", "Pro\\nvider")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Name", "Chan\\x1b[2Jnel\\\\")) << r.out;
    r = test::RunCli({"analyze", (dir / "names.ts").string(), "--details"});
    EXPECT_FALSE(HasControl(r.out)) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "SourceProvider", "Pro\\nvider")) << r.out;

    // JSON carries the names as they are (JSON escapes them itself).
    r = test::RunCli({"analyze", (dir / "names.ts").string(), "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["CurrentRemap"]["SourceName"], "Chan\x1b[2Jnel\\");
}

TEST(CliNames, CardEntryNamesPrintEscaped) {
    test::TempDir dir;
    std::vector<std::uint8_t> region = test::EmptyRegion(true, 1000);
    region[1] = 2;
    test::PutEntry(region, 0, 61, 0, 5, "two\nlines.ts");
    test::PutEntry(region, 1, 77, 0, 5, "\x1b]0;title\x07.ts");
    test::MakeImage(dir / "card.img", kHeaderRegionBytes + 4 * kUnitSize, 0xFF, region);

    const auto r = test::RunCli({"card", "info", (dir / "card.img").string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(HasControl(r.out)) << r.out;
    EXPECT_TRUE(Contains(r.out, "  0  \"two\\nlines.ts\"  ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "  1  \"\\x1b]0;title\\x07.ts\"  ")) << r.out;
}

// A file name reaches an error as typed: its control characters come out
// escaped, so that it cannot drive the terminal or forge a second line.
TEST(CliNames, ControlCharactersInFileNamesPrintEscapedInErrors) {
    test::TempDir dir;
    const std::string weird = "a\x1b[31m\x07\nb\\.ts";
    const std::string shown = "a\\x1b[31m\\x07\\nb\\\\.ts";
    test::WriteFileBytes(dir / "stream.ts", test::SourceStream{}.Stored(50).Bytes);
    const std::string missing = (dir / weird).string();
    struct Case {
        const char* what;
        std::vector<std::string> args;
        bool one_line;  // a usage error adds its hint line
    };
    const Case cases[] = {
        {"a missing input", {"analyze", missing}, true},
        {"a missing source", {"bitrate", missing}, true},
        {"an output in a missing folder", {"splice", (dir / weird / "o.ts").string(), (dir / "stream.ts").string()}, true},
        {"a missing splice input", {"splice", (dir / "out.ts").string(), (dir / "stream.ts").string(), missing}, true},
        {"a missing card", {"card", "info", missing}, true},
        {"a word too many", {"analyze", (dir / "stream.ts").string(), weird}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto r = test::RunCli(c.args);
        EXPECT_NE(r.exit_code, 0);
        EXPECT_FALSE(HasControl(r.err)) << r.err;
        EXPECT_TRUE(Contains(r.err, shown)) << r.err;
        if (c.one_line) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
    }
}

TEST(CliNames, AFileNameOutsideTheCodePageLosesOnlyItsUndecodableBytes) {
    test::TempDir dir;
    test::MakeImage(dir / "card.img", 4 << 20, 0x00);
    ASSERT_EQ(test::RunCli({"card", "format", (dir / "card.img").string()}).exit_code, 0);
    const auto source = dir / "n\xE9\xFF.ts";  // bytes that are not UTF-8
    test::WriteFileBytes(source, test::SourceStream{}.Stored(50).Bytes);

    auto r = test::RunCli({"--codepage", "cp1252", "card", "write", (dir / "card.img").string(), source.string(),
                           "--bitrate", "1000"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "the card names it \"n??.ts\"")) << r.err;
    CardDevice card = test::OpenImage(dir / "card.img", false);
    CardDirectory directory;
    ASSERT_EQ(card.LoadDirectory(directory), DirectoryState::Valid);
    EXPECT_EQ(directory.Records[0].NameBytes(), "n??.ts");
}

}  // namespace
}  // namespace tscard
