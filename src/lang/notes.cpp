#include "lang/notes.h"

namespace tscard::lang {
namespace {

constexpr PrepareNotes kEnglish = {
    "The stream carries %1 programs; only a single-program stream can be prepared. Split it first with \"%2\".",
    "Stopped: %1 holds what was prepared before the stop. Open the stream again to prepare it anew.",
};

constexpr PrepareNotes kRussian = {
    "В потоке %1 программ(ы); подготовить можно только однопрограммный поток. Сначала разделите его командой «%2».",
    "Остановлено: в %1 записано то, что было подготовлено до остановки. Чтобы подготовить поток заново, откройте его снова.",
};

}  // namespace

const PrepareNotes& PrepareNotesIn(Language language) { return language == Language::Russian ? kRussian : kEnglish; }

}  // namespace tscard::lang
