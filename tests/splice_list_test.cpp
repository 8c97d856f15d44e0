// The splice list: adding (and its limits), moving with the wrap-around at
// both ends, removing, clearing, and the texts it shows.

#include <gtest/gtest.h>

#include <filesystem>

#include "splice/splice_job.h"
#include "support/test_support.h"

namespace tscard {
namespace {

struct SpliceList {
    test::TempDir dir;
    StickJob job;

    // Files named "a".."z" holding their name once per byte of size.
    std::vector<std::string> Make(const std::string& names) {
        std::vector<std::string> paths;
        for (char c : names) {
            const auto path = dir / std::string(1, c);
            test::WriteFileBytes(path, std::vector<std::uint8_t>(static_cast<std::size_t>(c - 'a' + 1), c));
            paths.push_back(path.string());
        }
        return paths;
    }
    // The list as names, each checked against its row's open file.
    std::string Names() const {
        std::string names;
        for (int i = 0; i < job.FileCount; ++i) {
            const StickFileEntry& e = job.Files[static_cast<std::size_t>(i)];
            const char name = std::filesystem::path(e.Path).filename().string()[0];
            char held = 0;
            EXPECT_EQ(e.Handle.ReadAt(0, &held, 1), 1) << e.Path;
            EXPECT_EQ(held, name) << "row " << i << " does not follow its entry";
            names += name;
        }
        return names;
    }
};

TEST(SpliceList, MovesExchangeNeighboursAndWrapAtBothEnds) {
    struct Case {
        const char* list;
        bool down;
        int focused;
        const char* after;
        int focus_after;
    };
    const Case cases[] = {
        {"abcd", true, 1, "acbd", 2},  {"abcd", false, 2, "acbd", 1},
        {"abcd", true, 3, "dbca", 0},  // the last goes first, the first takes its place
        {"abcd", false, 0, "dbca", 3},  // the first goes last
        {"ab", true, 1, "ba", 0},      {"a", true, 0, "a", 0},
        {"abc", true, 3, "abc", -1},   // not an entry: nothing moves
        {"abc", false, -1, "abc", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.list) + (c.down ? " down " : " up ") + std::to_string(c.focused));
        SpliceList s;
        ASSERT_TRUE(AddSpliceFiles(s.job, s.Make(c.list)));
        const int focus = c.down ? MoveSpliceEntryDown(s.job, c.focused) : MoveSpliceEntryUp(s.job, c.focused);
        EXPECT_EQ(s.Names(), c.after);
        EXPECT_EQ(focus, c.focus_after);
    }
}

TEST(SpliceList, RemovingPacksTheRestInOrderAndClearingEmptiesIt) {
    SpliceList s;
    ASSERT_TRUE(AddSpliceFiles(s.job, s.Make("abcde")));
    RemoveSpliceEntries(s.job, {1, 2});  // two adjacent entries
    EXPECT_EQ(s.Names(), "ade");
    RemoveSpliceEntries(s.job, {2, 0});
    EXPECT_EQ(s.Names(), "d");
    EXPECT_FALSE(s.job.Files[1].Handle.IsOpen());
    ClearSpliceEntries(s.job);
    EXPECT_EQ(s.job.FileCount, 0);
    EXPECT_FALSE(s.job.Files[0].Handle.IsOpen());
}

TEST(SpliceList, AddingKeepsTheChosenOrderAndSizesEachFile) {
    SpliceList s;
    ASSERT_TRUE(AddSpliceFiles(s.job, s.Make("ca")));
    ASSERT_TRUE(AddSpliceFiles(s.job, s.Make("b")));
    EXPECT_EQ(s.Names(), "cab");
    EXPECT_EQ(s.job.Files[0].TailBytes, 3u);
    EXPECT_EQ(s.job.Files[0].Blocks, 0u);

    const auto big = s.dir / "big";
    test::WriteFileBytes(big, std::vector<std::uint8_t>(2 * 65536 + 5, 1));
    ASSERT_TRUE(AddSpliceFiles(s.job, {big.string()}));
    EXPECT_EQ(s.job.Files[3].Blocks, 2u);
    EXPECT_EQ(s.job.Files[3].TailBytes, 5u);
}

TEST(SpliceList, AddsThatCannotAllBeTakenAreRefusedWholeAndNothingIsLost) {
    SpliceList s;
    const auto paths = s.Make("abc");
    std::vector<std::string> many;
    for (int i = 0; i < 42; ++i) many.insert(many.end(), paths.begin(), paths.end());  // 126
    ASSERT_TRUE(AddSpliceFiles(s.job, many));
    ASSERT_TRUE(AddSpliceFiles(s.job, {paths[0], paths[1]}));  // 128: full

    Status st = AddSpliceFiles(s.job, {paths[2]});
    EXPECT_FALSE(st);
    EXPECT_NE(st.message().find("at most 128 files"), std::string::npos) << st.message();
    EXPECT_EQ(s.job.FileCount, 128);
    EXPECT_EQ(s.job.Files[127].Path, paths[1]);

    // A missing file among those chosen: none of them is added.
    RemoveSpliceEntries(s.job, {0, 1, 2});
    st = AddSpliceFiles(s.job, {paths[0], (s.dir / "missing").string()});
    EXPECT_FALSE(st);
    EXPECT_NE(st.message().find("missing"), std::string::npos) << st.message();
    EXPECT_EQ(s.job.FileCount, 125);
}

TEST(SpliceList, TheOutputCannotBeAnInput) {
    SpliceList s;
    const auto paths = s.Make("ab");
    test::WriteFileBytes(s.dir / "out.ts", {1, 2, 3});  // an output that exists: it is replaced at the end
    ASSERT_TRUE(SetUpSplice(s.job, (s.dir / "out.ts").string(), SpliceOutputMode::Replace));
    std::filesystem::create_symlink(s.dir / "out.ts", s.dir / "link.ts");
    const Status st = AddSpliceFiles(s.job, {paths[0], (s.dir / "link.ts").string()});
    EXPECT_FALSE(st);
    EXPECT_NE(st.message().find("is the output of the splice"), std::string::npos) << st.message();
    EXPECT_EQ(s.job.FileCount, 0);
}

TEST(SpliceList, SetUpReplacesOrKeepsAnExistingOutput) {
    SpliceList s;
    const auto out = s.dir / "out.ts";
    test::WriteFileBytes(out, std::vector<std::uint8_t>(1000, 7));
    ASSERT_TRUE(SetUpSplice(s.job, out.string(), SpliceOutputMode::Append));
    EXPECT_EQ(s.job.OutputStart, 1000u);
    EXPECT_EQ(std::filesystem::file_size(out), 1000u);
    ASSERT_TRUE(AddSpliceFiles(s.job, s.Make("a")));
    ASSERT_TRUE(SetUpSplice(s.job, out.string(), SpliceOutputMode::Replace));
    EXPECT_EQ(s.job.FileCount, 0);  // a new set-up starts an empty list
    EXPECT_EQ(s.job.OutputStart, 0u);
    // Nothing is emptied or created before the splice has been done.
    EXPECT_EQ(std::filesystem::file_size(out), 1000u);
    ASSERT_TRUE(SetUpSplice(s.job, (s.dir / "new.ts").string(), SpliceOutputMode::Replace));
    EXPECT_FALSE(std::filesystem::exists(s.dir / "new.ts"));
}

TEST(SpliceList, Texts) {
    EXPECT_EQ(SpliceSizeText(0), "0.000");
    EXPECT_EQ(SpliceSizeText(1572863), "1.000");  // whole mebibytes only
    EXPECT_EQ(SpliceSizeText(1048576 * 3 - 1), "2.000");
    EXPECT_EQ(SpliceSizeText(5ull << 40, ','), "5242880,000");
    EXPECT_EQ(SpliceOutputName("/x/New", 2), "/x/New.m4ts");
    EXPECT_EQ(SpliceOutputName("/x/New", 1), "/x/New.m2ts");
    EXPECT_EQ(SpliceOutputName("/x/New", 3), "/x/New.mpg");
    EXPECT_EQ(SpliceOutputName("/x/New", 5), "/x/New.ts");
    EXPECT_EQ(SpliceOutputName("/x/clip.ts", 1), "/x/clip.ts");
}

}  // namespace
}  // namespace tscard
