#pragma once

#include <QString>

namespace app {

// The console speaks German, and Qt's own dialogs and buttons with it: Qt's
// German texts are installed, and under the C locale, which names no
// language, numbers and dates are written the German way too. An empty
// result, or why Qt's texts could not be loaded; the console runs on
// without them, its own texts German all the same.
QString useGerman();

} // namespace app
