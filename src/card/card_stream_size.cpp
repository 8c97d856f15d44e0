#include "card/card_stream_size.h"

#include <utility>

#include "card/card_write_packer.h"

namespace tscard {
namespace {

// Counts the blocks it is given and keeps none of them.
class CountingSink final : public CopyingBlockSink {
public:
    void WriteBlock(const std::uint8_t*) override { ++blocks_; }
    std::uint64_t Blocks() const { return blocks_; }

private:
    std::uint64_t blocks_ = 0;
};

}  // namespace

CardStreamSize MeasureCardStream(const SourceFile& source, std::uint64_t start, bool packet192,
                                 const std::function<bool(std::uint64_t windows_packed)>& after_window) {
    CardStreamSize size;
    if (!source.IsOpen() || start > source.Size()) return size;
    CountingSink sink;
    CardPacker packer(packet192, sink);
    PackEnd end = PackSource(packer, source, start, after_window);
    size.Complete = !end.Stopped && end.Read.ok();
    size.Read = std::move(end.Read);
    size.PacketsStored = packer.PacketsStored();
    size.Blocks = sink.Blocks();
    return size;
}

}  // namespace tscard
