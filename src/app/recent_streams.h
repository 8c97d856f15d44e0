#pragma once
// The streams opened last for preparing or splitting, newest first, at most
// five, kept between runs in the window's settings (QSettings: the user's
// configuration folder, tscard.conf). Files gone since are left out.

#include <string>
#include <vector>

namespace tscard::app {

constexpr int kRecentStreams = 5;

std::vector<std::string> RecentStreams();
void RememberStream(const std::string& path);

}  // namespace tscard::app
