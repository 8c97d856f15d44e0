#pragma once
// Helpers of the card write and read tests: sources built packet by packet
// (stored packets that tell their number, null packets, garbage), the
// blocks the card must get for them, and the packer run over windows of
// any size.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "card/card_layout.h"
#include "card/card_write_packer.h"
#include "ts/packet.h"

namespace tscard::test {

// A stored packet that carries its number in six bytes that are never
// 0x47, so that no false packet start appears in the payload.
inline Packet NumberedPacket(std::uint32_t number) {
    Packet p{};
    p[0] = kSyncByte;
    p[1] = 0x01;
    p[2] = 0x00;  // PID 0x0100
    p[3] = static_cast<std::uint8_t>(0x10 | (number & 0x0F));
    for (int i = 0; i < 6; ++i) p[4 + i] = static_cast<std::uint8_t>(0x80 | ((number >> (6 * i)) & 0x3F));
    return p;
}

// A null packet as a muxer writes it (not the NullPacket image).
inline Packet SourceNullPacket(std::uint8_t counter) {
    Packet p{};
    p[0] = kSyncByte;
    p[1] = 0x1F;
    p[2] = 0xFF;
    p[3] = static_cast<std::uint8_t>(0x10 | (counter & 0x0F));
    return p;
}

// A source: its bytes, and its packets in order (what a clean read sees).
struct SourceStream {
    bool Packet192 = false;
    std::vector<std::uint8_t> Bytes;
    std::vector<Packet> Packets;
    std::uint32_t NextNumber = 0;

    SourceStream& Add(const Packet& p) {
        if (Packet192) {
            const std::uint8_t prefix[4] = {0x00, 0x12, 0x34, static_cast<std::uint8_t>(0x80 | (Packets.size() & 0x3F))};
            Bytes.insert(Bytes.end(), prefix, prefix + 4);
        }
        Bytes.insert(Bytes.end(), p.begin(), p.end());
        Packets.push_back(p);
        return *this;
    }
    SourceStream& Stored(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) Add(NumberedPacket(NextNumber++));
        return *this;
    }
    SourceStream& Nulls(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) Add(SourceNullPacket(static_cast<std::uint8_t>(i)));
        return *this;
    }
};

inline bool IsNull(const Packet& p) { return FoldPid(p.data()) == kNullPid; }

// The stored packets of a source and the null count after each, as the
// trailers hold them (wrapped to 16 bits).
struct StoredForm {
    std::vector<Packet> Packets;
    std::vector<std::uint16_t> Trailers;
};
inline StoredForm StoredFormOf(const std::vector<Packet>& source) {
    StoredForm form;
    for (const Packet& p : source) {
        if (!IsNull(p)) {
            form.Packets.push_back(p);
            form.Trailers.push_back(0);
        } else if (!form.Packets.empty()) {
            ++form.Trailers.back();
        }
    }
    return form;
}

// Checks the blocks against the stored form: every used slot and trailer
// byte for byte, the padding 0xFF, and slots after the last used one either
// untouched (0xFF) or the image of a dropped null packet, with a trailer
// of 0xFFFF or 0.
inline void ExpectBlocks(const std::vector<CardBlock>& blocks, const std::vector<Packet>& source) {
    const StoredForm form = StoredFormOf(source);
    ASSERT_EQ(blocks.size(), (form.Packets.size() + kSlotsPerBlock - 1) / kSlotsPerBlock);
    Packet ff;
    ff.fill(0xFF);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const std::uint8_t* block = blocks[b].data();
        for (std::size_t s = 0; s < kSlotsPerBlock; ++s) {
            const std::size_t p = b * kSlotsPerBlock + s;
            const std::uint8_t* slot = block + kSlotSize * s;
            if (p < form.Packets.size()) {
                ASSERT_EQ(std::memcmp(slot, form.Packets[p].data(), kPacketSize), 0) << "block " << b << " slot " << s;
                ASSERT_EQ(ReadTrailer(block, s), form.Trailers[p]) << "block " << b << " slot " << s;
            } else {
                const bool untouched = std::memcmp(slot, ff.data(), kPacketSize) == 0;
                const bool null_image = std::memcmp(slot, NullPacket().data(), kPacketSize) == 0;
                ASSERT_TRUE(untouched || null_image) << "block " << b << " free slot " << s;
                const std::uint16_t trailer = ReadTrailer(block, s);
                ASSERT_TRUE(trailer == 0xFFFF || trailer == 0) << "block " << b << " free slot " << s;
            }
        }
        for (std::size_t i = kBlockPaddingOffset; i < kUnitSize; ++i) ASSERT_EQ(block[i], 0xFF) << "padding " << i;
    }
}

struct CollectingSink final : CopyingBlockSink {
    std::vector<CardBlock> Blocks;
    void WriteBlock(const std::uint8_t* block) override {
        Blocks.emplace_back();
        std::memcpy(Blocks.back().data(), block, kUnitSize);
    }
};

struct Packed {
    std::vector<CardBlock> Blocks;
    std::uint64_t PacketsStored = 0;
    NullRunWarning NullRuns;
};

// Packs the bytes as the writer does, in windows of the given size (the
// whole source in one window when 0).
inline Packed PackInWindows(const std::vector<std::uint8_t>& bytes, bool packet192, std::size_t window = 65536) {
    CollectingSink sink;
    CardPacker packer(packet192, sink);
    if (window == 0) window = bytes.size() == 0 ? 1 : bytes.size();
    std::size_t offset = 0;
    std::size_t kept = 0;
    while (bytes.size() - offset > 0) {
        const std::size_t n = std::min(window, bytes.size() - offset);
        kept = packer.PackWindow(bytes.data() + offset - kept, kept + n);
        offset += n;
    }
    packer.FinishPacking(bytes.data() + offset - kept, kept);
    return {std::move(sink.Blocks), packer.PacketsStored(), packer.NullRuns()};
}

}  // namespace tscard::test
