#pragma once
// Helpers of the card tests: header regions built byte by byte and card
// image files.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "card/card_device.h"
#include "card/card_layout.h"
#include "card/image_file_backend.h"
#include "support/test_support.h"

namespace tscard::test {

// A formatted, empty header region.
inline std::vector<std::uint8_t> EmptyRegion(bool version01 = false, std::uint32_t bitrate = 0) {
    std::vector<std::uint8_t> region(kHeaderRegionBytes);
    BuildEmptyHeaderRegion(version01, bitrate, region.data());
    return region;
}

inline void PutEntry(std::vector<std::uint8_t>& region, std::size_t index, std::uint32_t start_sector,
                     std::uint32_t length, std::uint8_t last_slot, const std::string& name) {
    DirEntry entry;
    entry.StartSector = start_sector;
    entry.Length = length;
    entry.LastSlot = last_slot;
    entry.SetName(name);
    entry.Encode(region.data() + kDirectoryOffset + index * kDirEntrySize);
}

// A card image of `size` bytes: `head` at its start, then `fill` bytes.
inline void MakeImage(const std::filesystem::path& path, std::uint64_t size, std::uint8_t fill,
                      const std::vector<std::uint8_t>& head = {}) {
    std::vector<std::uint8_t> bytes(size, fill);
    std::copy(head.begin(), head.end(), bytes.begin());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline CardDevice OpenImage(const std::filesystem::path& path, bool writable = true) {
    std::unique_ptr<CardBackend> backend;
    const Status status = OpenImageFileBackend(path.string(), writable, backend);
    EXPECT_TRUE(status.ok()) << status.message();
    return status ? CardDevice(std::move(backend)) : CardDevice();
}

// A loop device over a file; detached when it goes.
struct AttachedLoop {
    explicit AttachedLoop(const std::filesystem::path& backing) {
        const auto r = RunProgram("losetup", {"--find", "--show", backing.string()});
        if (r.exit_code == 0) node = r.out.substr(0, r.out.find('\n'));
    }
    ~AttachedLoop() {
        if (!node.empty()) RunProgram("losetup", {"--detach", node});
    }
    AttachedLoop(const AttachedLoop&) = delete;
    AttachedLoop& operator=(const AttachedLoop&) = delete;
    std::string node;  // empty when no loop device could be attached
};

}  // namespace tscard::test
