#pragma once

#include <QString>

class QLabel;
class QStatusBar;

namespace app {

// A field of its own at the right of the status bar, framed, so that
// neighbouring texts never run together; after the others, or before them.
QLabel *addStatusField(QStatusBar &bar, const QString &name, const QString &text = {}, bool first = false);

// What an action did, for a few seconds in the status bar.
void confirm(QStatusBar &bar, const QString &text);

// What went wrong, long enough to be read.
void warn(QStatusBar &bar, const QString &text);

} // namespace app
