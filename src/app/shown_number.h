#pragma once
// Fixed-point texts the core makes ("4.02128") as the window shows them:
// with the operator's decimal separator (the window's locale, QLocale(),
// which is the system's unless set otherwise).

#include <QString>

#include <string>

namespace tscard::app {

QString ShownNumber(const std::string& text);

}  // namespace tscard::app
