#include "prepare/end_pass.h"

#include "psi/frame_types.h"
#include "ts/packet.h"

namespace tscard {
namespace {

constexpr std::size_t kBlock = 1 << 20;

Status ReadPacket(const File& file, std::uint64_t offset, Packet& packet) {
    const std::int64_t n = file.ReadAt(offset, packet.data(), kPacketSize);
    if (n < 0) return Status::Fail(FileError(file.Path(), N_("cannot read back the output")));
    if (n != static_cast<std::int64_t>(kPacketSize))
        return Status::Fail(Words(N_("%1: the output ended early while its tail was repaired"), {file.Path()}));
    return Status::Ok();
}

}  // namespace

Status RepairTail(File& output, const GopOffsets& gops, EndPassResult& result) {
    result = EndPassResult{};
    if (gops.Count < 2) return Status::Ok();
    result.Run = true;

    if (Status st = output.Truncate(gops.Last); !st) return st;
    result.TruncatedAt = gops.Last;

    Packet packet;
    if (Status st = ReadPacket(output, gops.Prev, packet); !st) return st;
    if (MarkGopBrokenLink(packet.data())) {
        result.BrokenLinkSet = true;
        if (Status st = output.WriteAt(gops.Prev, packet.data(), kPacketSize); !st) return st;
    }

    // The last I or P picture of the group that is now last.
    std::uint64_t last_reference = 0;
    {
        BlockReader reader(output, gops.Prev, kBlock);
        for (std::uint64_t at = gops.Prev; at + kPacketSize <= gops.Last; at += kPacketSize) {
            if (reader.Read(packet.data(), kPacketSize) != kPacketSize) break;
            if (FoldPid(packet.data()) == kNullPid) continue;
            const int type = FirstPictureType(packet.data());
            if (type == kIPicture || type == kPPicture) {
                last_reference = at;
                result.PictureFound = true;
            }
        }
        if (reader.Failed()) return Status::Fail(reader.Error());
    }
    if (!result.PictureFound) return Status::Ok();

    BlockReader reader(output, last_reference, kBlock);
    for (std::uint64_t at = last_reference; at + kPacketSize <= gops.Last; at += kPacketSize) {
        if (reader.Read(packet.data(), kPacketSize) != kPacketSize) break;
        if (FoldPid(packet.data()) == kNullPid || !DemoteTrailingB(packet.data())) continue;
        if (Status st = output.WriteAt(at, packet.data(), kPacketSize); !st) return st;
        ++result.DemotedPictures;
    }
    if (reader.Failed()) return Status::Fail(reader.Error());
    return Status::Ok();
}

}  // namespace tscard
