#include "app/statusfield.h"

#include <QLabel>
#include <QStatusBar>

namespace app {

namespace {
constexpr int confirmationMs = 5000;
constexpr int warningMs = 10000;
} // namespace

QLabel *addStatusField(QStatusBar &bar, const QString &name, const QString &text, bool first)
{
    auto *field = new QLabel(text, &bar);
    field->setObjectName(name);
    field->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    field->setContentsMargins(4, 0, 4, 0);
    if (first)
        bar.insertPermanentWidget(0, field);
    else
        bar.addPermanentWidget(field);
    return field;
}

void confirm(QStatusBar &bar, const QString &text)
{
    bar.showMessage(text, confirmationMs);
}

void warn(QStatusBar &bar, const QString &text)
{
    bar.showMessage(text, warningMs);
}

} // namespace app
