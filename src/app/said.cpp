#include "app/said.h"

#include <QCoreApplication>

#include <vector>

namespace tscard::app {
namespace {

// Where the catalogue keeps the core's templates (see platform/words.h).
constexpr const char* kCoreContext = "tscard";

std::string Rendered(const Words& words) {
    if (words.Verbatim()) return words.English();
    const std::string translated =
        QCoreApplication::translate(kCoreContext, words.Template().c_str()).toStdString();
    std::vector<std::string> values;
    values.reserve(words.Values().size());
    for (const Words& value : words.Values()) values.push_back(Rendered(value));
    return FillTemplate(translated, values);
}

}  // namespace

QString Said(const Words& words) { return QString::fromStdString(Rendered(words)); }

std::string SaidText(const Words& words) { return Rendered(words); }

QString Filled(const QString& text, const QStringList& values) {
    std::vector<std::string> utf8;
    utf8.reserve(std::size_t(values.size()));
    for (const QString& value : values) utf8.push_back(value.toStdString());
    return QString::fromStdString(FillTemplate(text.toStdString(), utf8));
}

}  // namespace tscard::app
