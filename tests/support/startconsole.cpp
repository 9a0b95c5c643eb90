#include "startconsole.h"

#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace tests {

std::unique_ptr<MainWindow> startConsole(QDialogButtonBox::StandardButton answer, QString *messageBox,
                                         const QString &channel)
{
    QTimer answering;
    QObject::connect(&answering, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (messageBox)
                *messageBox = box->windowTitle() + QLatin1Char('|') + box->text();
            box->accept();
        } else if (modal) {
            QDialogButtonBox::StandardButton button = answer;
            if (!channel.isEmpty()) {
                auto *rows = modal->findChild<QListWidget *>(QStringLiteral("channels"));
                const QList<QListWidgetItem *> named = rows->findItems(channel, Qt::MatchExactly);
                if (named.isEmpty())
                    button = QDialogButtonBox::Cancel;
                else
                    rows->setCurrentItem(named.first());
            }
            modal->findChild<QDialogButtonBox *>()->button(button)->click();
        }
    });
    answering.start(1);
    auto window = std::make_unique<MainWindow>();
    window->show();
    return window;
}

void toggle(QGroupBox *box, bool on)
{
    box->setChecked(on);
    emit box->clicked(on);
}

} // namespace tests
