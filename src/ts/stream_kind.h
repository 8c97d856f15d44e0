#pragma once
// What an elementary stream carries, in the words an engineer reads in a
// report: "MPEG-2 video", "AC-3 audio", "DVB subtitles". A private stream
// (type 0x06) is told by its descriptors, the rest by stream_type alone.

#include <string_view>

#include "ts/model.h"

namespace tscard {

std::string_view StreamKindText(const EsEntry& stream);

}  // namespace tscard
