#pragma once
// The window's own notes beside the design's captions, in English and
// Russian: what a panel says when it cannot go on. %1, %2 are filled in.

#include <string_view>

#include "lang/captions.h"

namespace tscard::lang {

struct PrepareNotes {
    // %1 the number of programs, %2 the menu command that splits them.
    std::string_view ManyPrograms;
    // %1 the output file.
    std::string_view Stopped;
};

const PrepareNotes& PrepareNotesIn(Language language);

}  // namespace tscard::lang
