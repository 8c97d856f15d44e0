#pragma once
// What the window says, in the language shown. Its own sentences are
// written with tr() in its classes; the core's (Words) are English
// templates looked up in the catalogue under the context "tscard" and filled
// with their values after translation. With the English flag no catalogue
// is installed and both are the English text, byte for byte.

#include <QString>
#include <QStringList>

#include <string>

#include "platform/words.h"

namespace tscard::app {

QString Said(const Words& words);
// The same in UTF-8, as the dialogs take it.
std::string SaidText(const Words& words);
// A template the window translated itself (tr("%1: ...")), filled as the
// core's are: in one pass, values left as they are.
QString Filled(const QString& text, const QStringList& values);

}  // namespace tscard::app
