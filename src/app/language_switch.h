#pragma once
// Puts the captions of one language on the window: the panel controls of
// the caption table, the menu, the window title, the card selector's
// strings, the flag of the language item and the tooltips of the glyph
// buttons. Captions only: no command runs and no message shows.

#include "lang/captions.h"

namespace tscard::app {

class TTorvaneService;

void ApplyLanguage(TTorvaneService& window, lang::Language language);
// The tooltips and accessible names of the glyph-only buttons, and the
// language item's flag (also at start, when the design captions stay).
void ApplyGlyphTips(TTorvaneService& window, lang::Language language);

}  // namespace tscard::app
