#pragma once

#include "app/mainwindow.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QString>

#include <memory>

namespace tests {

// Starts the console as the user would: the channel dialog answered with the
// button, after picking the row named channel if one is named (none found:
// Cancel), any message box that follows noted as "<title>|<text>" and
// accepted, the window shown.
std::unique_ptr<MainWindow> startConsole(QDialogButtonBox::StandardButton answer, QString *messageBox = nullptr,
                                         const QString &channel = {});

// A click on a checkable group box's check box, into the given state.
void toggle(QGroupBox *box, bool on);

} // namespace tests
