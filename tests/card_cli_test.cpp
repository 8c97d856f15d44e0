// tscard-cli card list / info / format / clear, end to end on card images.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

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
    EXPECT_TRUE(test::HasField(r.out, "File system", "Unknow v0.0")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Formatted", "no")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Free", "Mast be formated")) << r.out;
    EXPECT_FALSE(Contains(r.out, "Bit rate")) << "no header, no bit rate\n" << r.out;

    // Neither in the layout nor of a whole number of MiB: formatted only
    // with --yes (no question is asked of an image).
    r = RunCli({"card", "format", card, "--yes"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "Formatted Card 0[29 MB],Drive letter -" + card + "\tDORO  v0.0\tCapacity 29.4375 MB\tFree 29.4375 MB\n");
    const std::vector<std::uint8_t> bytes = test::ReadFileBytes(card);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<std::uint8_t>{0x48, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0xFF}));

    r = RunCli({"card", "info", card, "--details"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::pair<const char*, std::string> fields[] = {
        {"Card", card},
        {"Reader", "- (a card image file)"},
        {"Size", "29 MiB (30900224 bytes)"},
        {"File system", "DORO  v0.0"},
        {"Formatted", "yes"},
        {"Format version", "0.0"},
        {"Capacity", "29.4375 MiB"},
        {"Free", "29.4375 MiB"},
        {"Bit rate", "none (a version 0.0 card, or not written yet)"},
        {"Streams", "0"},
        // --details
        {"Item", "Card 0[29 MB],Drive letter -" + card},
        {"Total sectors", "60352"},
        {"Data units", "3768"},
        {"Flags", "0x01"},
        {"Header bit rate", "0 kbit/s"},
    };
    for (const auto& [label, value] : fields) EXPECT_TRUE(test::HasField(r.out, label, value)) << label << "\n" << r.out;

    r = RunCli({"card", "clear", card});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Cleared Card 0[29 MB]")) << r.out;
}

TEST(CardCli, InfoListsStreamsWithTheirNamesInTheCodePage) {
    test::TempDir dir;
    const std::string card = (dir / "card.img").string();
    test::WriteFileBytes(card, test::FormattedCardImage(2 * kMiB, "\xCF\xF0\xE8\xEC\xE5\xF0.ts"));
    const auto r = RunCli({"--codepage", "cp1251", "card", "info", card, "--quick", "--details"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(test::HasField(r.out, "File system", "DORO  v0.1")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Bit rate", "120000 kbit/s")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Streams", "1")) << r.out;
    // The columns line up although the name takes two bytes a letter.
    EXPECT_TRUE(Contains(r.out, "  #  Name         On the card  Played  Duration\n"
                                "  0  \"Пример.ts\"  0.0234 MiB   -       -\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "  #  Start sector  Length  Last slot  Stored packets  Played packets\n"
                                "  0  61            2       13         100             -\n"))
        << r.out;
    EXPECT_TRUE(r.err.empty()) << "--quick reads no block\n" << r.err;
}

TEST(CardCli, FullFormatFillsTheImage) {
    test::TempDir dir;
    const std::string card = (dir / "card.img").string();
    test::MakeImage(card, 2 * kMiB + 4096, 0x00);
    const auto r = RunCli({"card", "format", card, "--full", "--yes"});
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
        // One wording for a card too small, whatever the command.
        {{"card", "format", tiny, "--yes"}, 1, tiny + ": 4096 bytes is too small for the card layout (at least 39936"},
        {{"card", "info", tiny}, 1, tiny + ": 4096 bytes is too small for the card layout (at least 39936"},
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

TEST(CardCli, AFileThatIsNoCardImageIsFormattedOnlyWithYesAndClearNeedsAFormattedCard) {
    test::TempDir dir;
    auto make = [&](const std::string& name, std::uint64_t bytes, std::uint8_t fill) {
        const std::string path = (dir / name).string();
        test::MakeImage(path, bytes, fill);
        return path;
    };
    const std::string stream = make("clip.ts", 3 * kMiB + 188 * 100, 0x47);  // not a card's size
    const std::string blank = make("blank.img", 4 * kMiB, 0x00);            // a card's size
    const std::string odd = make("odd.img", 4 * kMiB + 512, 0x00);
    ASSERT_EQ(RunCli({"card", "format", odd, "--yes"}).exit_code, 0);  // in the layout from now on
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        std::string says;
    };
    const Case cases[] = {
        {{"card", "format", stream}, 1,
         stream + ": not a card image: it is not in the card layout and its 3164528 bytes are not a whole number of "
                  "MiB, as a card's size is; --yes formats it all the same; nothing was written"},
        {{"card", "clear", stream}, 1, stream + ": Mast be formated (the card is not in the card layout)"},
        {{"card", "clear", blank}, 1,
         blank + ": Mast be formated (the card is not in the card layout); 'tscard-cli card format' formats it; "
                 "nothing was written"},
        {{"card", "clear", stream, "--yes"}, 1, "Mast be formated"},
        {{"card", "format", blank}, 0, "Formatted Card 0[4 MB]"},
        {{"card", "format", odd}, 0, "Formatted Card 0[4 MB]"},
        {{"card", "clear", odd}, 0, "Cleared Card 0[4 MB]"},
        {{"card", "format", stream, "--yes"}, 0, "Formatted Card 0[3 MB]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.args[2]);
        const std::vector<std::uint8_t> before = test::ReadFileBytes(c.args[2]);
        const auto r = RunCli(c.args);
        EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
        EXPECT_TRUE(Contains(c.exit_code == 0 ? r.out : r.err, c.says)) << r.out << r.err;
        if (c.exit_code != 0) {
            EXPECT_EQ(test::ReadFileBytes(c.args[2]), before);
        }
    }
}

TEST(CardCli, ListThroughAFakeSystem) {
    test::FakeSystem sys;
    sys.Add({"sda", "8:0", "0", "0"}, std::vector<std::uint8_t>(kMiB, 0x00));
    sys.Add({"sdb", "8:16", "1", "0"}, test::FormattedCardImage(2 * kMiB));
    sys.Add({"sdc", "8:32", "1", "0"}, std::vector<std::uint8_t>(kMiB, 0x00));
    sys.SetReader("sdb", "Generic ", "STORAGE DEVICE  ");
    const test::DiscoveryEnvironment env(sys.Roots());

    auto r = RunCli({"card", "list"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string b = sys.Node("sdb");
    const std::string c = sys.Node("sdc");
    const std::string pad(b.size() - 6, ' ');
    EXPECT_EQ(r.out, "Device" + pad + "  Size   Reader                  File system  Formatted  Free\n" +
                         b + "  2 MiB  Generic STORAGE DEVICE  DORO  v0.0   yes        1.9688 MiB\n" +
                         c + "  1 MiB  -                       Unknow v0.0  no         Mast be formated\n");

    r = RunCli({"card", "list", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const nlohmann::json list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list["cards"].size(), 2u);
    EXPECT_EQ(list["cards"][0]["device"], b);
    EXPECT_EQ(list["cards"][0]["reader"], "Generic STORAGE DEVICE");
    EXPECT_EQ(list["cards"][0]["formatted"], true);
    EXPECT_EQ(list["cards"][1]["item_text"], "Card 1[1 MB],Drive letter -" + c);
    EXPECT_EQ(list["problems"].size(), 0u);

    r = RunCli({"card", "info", c, "--details"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(test::HasField(r.out, "Item", "Card 0[1 MB],Drive letter -" + c)) << r.out;
}

TEST(CardCli, ListWithoutCardsNamesTheEmptyReaders) {
    test::FakeSystem sys;
    sys.Add({"sda", "8:0", "0", "0"}, std::vector<std::uint8_t>(kMiB, 0x00));
    test::CommandResult r;
    {
        const test::DiscoveryEnvironment env(sys.Roots());
        r = RunCli({"card", "list"});
    }
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(r.err, "No connect memory card\n");

    // A reader without a card: "insert a card", not a permission problem.
    sys.Add({"sdb", "8:16", "1", "0", 0});
    sys.SetReader("sdb", "Generic ", "STORAGE DEVICE  ");
    const test::DiscoveryEnvironment env(sys.Roots());
    r = RunCli({"card", "list"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(Contains(r.err, "No connect memory card\n")) << r.err;
    EXPECT_TRUE(Contains(r.err, sys.Node("sdb") + " (Generic STORAGE DEVICE): no card in the reader; insert a card"))
        << r.err;
    r = RunCli({"card", "list", "--json"});
    EXPECT_EQ(nlohmann::json::parse(r.out)["empty_readers"][0], sys.Node("sdb") + " (Generic STORAGE DEVICE)");
}

}  // namespace
}  // namespace tscard
