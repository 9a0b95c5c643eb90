#include "can/canchannelselectdlg.h"
#include "can/vectorcan.h"
#include "support/scripteddriver.h"

#include <QListWidget>
#include <QtTest>

class TestCANChannelSelectDlg : public QObject
{
    Q_OBJECT

private slots:
    // Channels as "name" or "name (no CAN)", in driver order.
    void shouldOfferCanChannelsInDriverOrder_data()
    {
        QTest::addColumn<QStringList>("driverChannels");
        QTest::addColumn<bool>("driverMissing");
        QTest::addColumn<int>("pickRow");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("channel");

        QTest::newRow("two CAN channels") << QStringList{"CAN 1", "CAN 2"} << false << -1
                                          << QStringList{"CAN 1", "CAN 2"} << 0;
        QTest::newRow("second row picked") << QStringList{"CAN 1", "CAN 2"} << false << 1
                                           << QStringList{"CAN 1", "CAN 2"} << 1;
        QTest::newRow("channel without CAN ahead")
            << QStringList{"LIN 1 (no CAN)", "CAN 1", "CAN 2"} << false << 1 << QStringList{"CAN 1", "CAN 2"} << 2;
        QTest::newRow("no channels") << QStringList{} << false << -1 << QStringList{} << -1;
        QTest::newRow("only a channel without CAN") << QStringList{"LIN 1 (no CAN)"} << false << -1
                                                    << QStringList{} << -1;
        QTest::newRow("driver missing") << QStringList{"CAN 1"} << true << -1 << QStringList{} << -1;
    }

    void shouldOfferCanChannelsInDriverOrder()
    {
        QFETCH(QStringList, driverChannels);
        QFETCH(bool, driverMissing);
        QFETCH(int, pickRow);
        QFETCH(QStringList, rows);
        QFETCH(int, channel);

        tests::ScriptedDriver driver;
        for (QString name : driverChannels) {
            const bool can = !name.endsWith(QLatin1String(" (no CAN)"));
            driver.addScriptedChannel(name.remove(QLatin1String(" (no CAN)")), can);
        }
        if (driverMissing)
            driver.failCall(QStringLiteral("xlOpenDriver"), XL_ERR_CANNOT_OPEN_DRIVER);
        VectorCAN can;
        CANChannelSelectDlg dialog(&can);
        auto *list = dialog.findChild<QListWidget *>(QStringLiteral("channels"));
        if (pickRow >= 0)
            list->setCurrentRow(pickRow);

        QStringList shown;
        for (int row = 0; row < list->count(); ++row)
            shown << list->item(row)->text();
        QCOMPARE(shown, rows);
        QCOMPARE(dialog.selectedRow(), rows.isEmpty() ? -1 : qMax(pickRow, 0));
        QCOMPARE(dialog.selectedChannel(), channel);
    }
};

QTEST_MAIN(TestCANChannelSelectDlg)
#include "tst_canchannelselectdlg.moc"
