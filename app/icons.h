#pragma once

#include <QIcon>

namespace app {

// The icon the desktop's theme gives the name, or the program's own
// (":/icons/<own>.png") where it has none.
QIcon themedIcon(const char *themeName, const char *own);

} // namespace app
