#include "card/card_format.h"

#include <algorithm>
#include <cstring>

#include "platform/log.h"

namespace tscard {
namespace {

constexpr std::size_t kFillChunk = 1 << 20;

Status CheckCanFormat(CardDevice& device) {
    if (!device.IsOpen()) return Status::Fail(Words(kNoCardOpen));
    if (!device.Backend().Writable()) return Status::Fail(OpenedReadOnly(device.Path()));
    if (device.TotalSectors * kSectorSize < kMinimumCardBytes)
        return Status::Fail(TooSmallForLayout(device.Path(), device.Backend().Length()));
    return Status::Ok();
}

}  // namespace

Words TooSmallForLayout(const std::string& path, std::uint64_t length) {
    return Words(N_("%1: %2 bytes is too small for the card layout (at least %3 bytes are needed)"),
                 {path, std::to_string(length), std::to_string(kMinimumCardBytes)});
}

Status CardDevice::FillCard(const FillObserver& observer) {
    // Every whole sector, the part after the last whole MiB included.
    const std::uint64_t total_bytes = TotalSectors * kSectorSize;
    const std::uint64_t chunks = (total_bytes + kFillChunk - 1) / kFillChunk;
    AlignedBuffer fill(kFillChunk);
    std::memset(fill.data(), 0xFF, fill.size());
    if (observer.Progress) observer.Progress(0, chunks);
    for (std::uint64_t i = 0; i < chunks; ++i) {
        if (observer.Stop != nullptr && observer.Stop->TakeIfSet())
            return Status::Fail(Words(N_("%1: full format stopped after %2 of %3 MiB"),
                                      {Path(), std::to_string(i), std::to_string(chunks)}));
        const std::uint64_t offset = i * kFillChunk;
        const std::size_t len = static_cast<std::size_t>(std::min<std::uint64_t>(kFillChunk, total_bytes - offset));
        const Status status = WriteRaw(offset, fill.data(), len);
        if (!status) {
            DebugLog("Read\\Write Error (" + status.message() + ")");
            return status;
        }
        if (observer.Progress) observer.Progress(i + 1, chunks);
    }
    return Status::Ok();
}

Status CardDevice::WriteEmptyHeader(bool version01, std::uint32_t bitrate, const FillObserver& observer) {
    Status fill_status;
    if (FullFormat) fill_status = FillCard(observer);
    BuildEmptyHeaderRegion(version01, bitrate, header_.data());
    const Status status = WriteRaw(0, header_.data(), kHeaderRegionBytes);
    if (!status) {
        DebugLog("Read\\Write Error (" + status.message() + ")");
        return status;
    }
    Directory.Header = CardHeader::Decode(header_.data());
    ResetDirectory(Directory);
    UpdateFreeUnits(Directory);
    CardChanged = true;
    if (!fill_status)
        return Status::Fail(Words(N_("%1; the empty header was written, the rest of the card was not filled"),
                                  {fill_status.words()}));
    return Status::Ok();
}

Status FormatCard(CardDevice& device, bool full, const FillObserver& observer) {
    if (Status status = CheckCanFormat(device); !status) return status;
    device.FullFormat = full;
    if (Status status = device.WriteEmptyHeader(false, 0, observer); !status) return status;
    return device.Flush();
}

Status ClearAllCard(CardDevice& device) {
    if (Status status = CheckCanFormat(device); !status) return status;
    device.FullFormat = false;
    if (Status status = device.WriteEmptyHeader(false, 0); !status) return status;
    return device.Flush();
}

}  // namespace tscard
