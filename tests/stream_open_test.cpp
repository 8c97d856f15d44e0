// What opening a stream shows: card size texts and the prepared file name.

#include <gtest/gtest.h>

#include "ts/stream_open.h"

namespace tscard {
namespace {

TEST(StreamOpen, CardSizeOfTenBigBlocks) {
    const std::int64_t card_bytes = CardBytesOf(64672ull * 10);
    EXPECT_EQ(card_bytes, 655360);
    // Whole mebibytes only.
    EXPECT_EQ(CardWriteSizeText(card_bytes, SizeUnit::MBytes, 1.0), "0.000");
    EXPECT_EQ(CardWriteSizeText(card_bytes, SizeUnit::Bytes, 1.0), "655360");
    EXPECT_EQ(ParseSizeText(card_bytes, SizeUnit::MBytes), "0.625");
    EXPECT_EQ(ParseSizeText(card_bytes, SizeUnit::Bytes), "655360");
    // A size ratio divides what card writing shows.
    EXPECT_EQ(CardWriteSizeText(3 * 1048576, SizeUnit::MBytes, 2.0), "1.500");
    EXPECT_EQ(CardWriteSizeText(1001, SizeUnit::Bytes, 2.0), "500");
    // Mid blocks count one card block each; a 64-bit size.
    EXPECT_EQ(CardBytesOf(64672 + 8084 * 2 + 100), (8 + 2) * 8192);
    EXPECT_EQ(CardBytesOf(5ull << 30), std::int64_t((5ull << 30) / 64672 * 8 + 3) * 8192);
}

TEST(StreamOpen, PreparedOutputName) {
    const std::pair<const char*, const char*> cases[] = {
        {"/data/clip.ts", "/data/clip_pre.ts"},
        {"/data/clip.m2ts", "/data/clip_pre.m2ts"},
        {"clip.ts", "clip_pre.ts"},
        {"/data.ts/clip.ts", "/data.ts/clip_pre.ts"},  // the folder's dot is no extension
        {"/data/clip", "/data/clip_pre"},              // no extension: appended
        {"/data.old/clip", "/data.old/clip_pre"},
        {"/data/clip.ts.ts", "/data/clip.ts_pre.ts"},
        {"/data/.hidden", "/data/.hidden_pre"},
    };
    for (const auto& [source, expected] : cases) EXPECT_EQ(PreparedOutputName(source), expected) << source;
}

}  // namespace
}  // namespace tscard
