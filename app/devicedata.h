#pragma once

#include "service/calibrationrecord.h"
#include "monitor/pressurechart.h"
#include "monitor/pressurehistory.h"

#include <QObject>
#include <QPointer>

class ISOTPTX;
class QAction;
class QMainWindow;
class QToolBar;
class Touchview;

namespace app {

class KeptSettings;

// What the console keeps and shows of the device's data beside the form:
// the last minute of pressure values and its chart, the record of the
// calibrations written into devices, and the word that the grid's matrix
// was saved or copied. It lives in menus of its own.
class DeviceData : public QObject
{
    Q_OBJECT

public:
    // Adds its menus to the window; follows the grid and the transmitter.
    DeviceData(QMainWindow &window, QToolBar &toolBar, Touchview &touchview, ISOTPTX &isotp);
    // The chart reads the history, so it goes first.
    ~DeviceData() override;

    PressureHistory &history() { return pressureHistory; }
    service::CalibrationRecord &calibrations() { return calibrationRecord; }
    PressureChart *chart() const { return pressureChart; }
    // The chart, for the tool bar.
    QAction *chartAction() const { return showChartAction; }

    // The chart's place and the export folder kept from the last run.
    void keepSettings(KeptSettings &settings);
    // Before the windows go with the console.
    void keepWindows();

public slots:
    void showPressureChart();
    void openCalibrationRecord();

private:
    // The grid's and the chart's next export goes to the folder of this one.
    void keepExportFolder(const QString &path);
    void confirm(const QString &text);

    QMainWindow &window;
    Touchview &touchview;
    KeptSettings *kept = nullptr;
    service::CalibrationRecord calibrationRecord{service::CalibrationRecord::standardPath()};
    PressureHistory pressureHistory;
    QPointer<PressureChart> pressureChart;
    QAction *showChartAction = nullptr;
};

} // namespace app
