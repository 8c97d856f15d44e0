#pragma once
// What screen readers and test drivers find each control by: the label the
// operator reads beside it, in the language shown (an edit field would
// otherwise carry its group box's title), the gauges and the lists that
// have no label by what they show, and the "Open file stream for" menu by
// its caption. Gauges also tell their value (gauge.h).

namespace tscard::app {

class TTorvaneService;

void ApplyAccessibleNames(TTorvaneService& window);

}  // namespace tscard::app
