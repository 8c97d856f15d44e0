#pragma once
// A card image: a regular file stands for a card of its size. It never
// grows: writes past its end fail as they would on a card.

#include <memory>
#include <string>

#include "card/card_backend.h"

namespace tscard {

// Opens the image read-only, or read-write with an exclusive lock so that
// two runs never write the same image at once.
Status OpenImageFileBackend(const std::string& path, bool writable, std::unique_ptr<CardBackend>& out);

}  // namespace tscard
