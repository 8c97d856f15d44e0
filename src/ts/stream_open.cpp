#include "ts/stream_open.h"

#include <cmath>
#include <cstring>

#include "platform/input_file.h"
#include "ts/fixed_text.h"
#include "ts/model.h"

namespace tscard {

namespace {
constexpr std::int64_t kCardBlockBytes = 8192;
constexpr std::int64_t kMebibyte = 1048576;
}  // namespace

Status OpenStreamFile(const std::string& path, File& out) {
    const Status opened = OpenInputFile(path, out);
    if (opened || opened.error() == 0) return opened;
    return Status::Fail(Words(N_("%1: File in use from other application (%2)"),
                              {path, std::string(std::strerror(opened.error()))}),
                        opened.error());
}

std::int64_t CardBytesOf(std::uint64_t file_size) {
    StreamLayout layout;
    // The packet size only decides TailPackets, which does not count here.
    ComputeBlockFigures(file_size, false, layout);
    return static_cast<std::int64_t>((layout.BigBlocks * 8 + layout.MidBlocks) * kCardBlockBytes);
}

std::string CardWriteSizeText(std::int64_t card_bytes, SizeUnit unit, double size_ratio) {
    if (unit == SizeUnit::MBytes) return FixedText(double(card_bytes / kMebibyte) / size_ratio, 10, 3);
    return FixedText(std::trunc(double(card_bytes) / size_ratio), 20, 0);
}

std::string ParseSizeText(std::int64_t card_bytes, SizeUnit unit) {
    if (unit == SizeUnit::MBytes) return FixedText(double(card_bytes) / double(kMebibyte), 10, 3);
    return std::to_string(card_bytes);
}

std::string PreparedOutputName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    // A dot inside a folder name, or leading a hidden file's name, does not
    // start an extension.
    if (dot == std::string::npos || dot <= name_start) return path + "_pre";
    return path.substr(0, dot) + "_pre" + path.substr(dot);
}

}  // namespace tscard
