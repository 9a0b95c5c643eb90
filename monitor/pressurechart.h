#pragma once

#include <QTimer>
#include <QWidget>

#include <vector>

class PressureHistory;
class QChart;
class QChartView;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QValueAxis;

// The window "Korvel - Druckverlauf": the three pressure values of the last
// minute over a time axis that ends now, with a labelled vertical line at
// each snapshot, redrawn ten times a second while it is shown. The
// calibrated value reads on the left axis; the raw values, far smaller,
// on one of their own on the right.
class PressureChart : public QWidget
{
    Q_OBJECT

public:
    static constexpr int refreshMs = 100;

    explicit PressureChart(const PressureHistory &history, QWidget *parent = nullptr);
    ~PressureChart() override;

    // The minute up to `now` on the history's clock.
    void refresh(qint64 now);
    // What the last refresh showed, as CSV; false with the system's reason.
    bool save(const QString &path, QString *error);
    // Where the dialog proposes to save; the documents folder at first.
    void setExportFolder(const QString &folder) { exportDir = folder; }
    QString exportFolder() const { return exportDir; }

public slots:
    void refresh();

signals:
    void saved(const QString &path);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct MarkerLine
    {
        QLineSeries *line = nullptr;
        QGraphicsRectItem *box = nullptr;  // the label's background
        QGraphicsSimpleTextItem *label = nullptr;
    };

    MarkerLine &markerLine(size_t index);
    void placeLabels();
    void askAndSave();

    const PressureHistory &history;
    QTimer refreshTimer;
    QChart *chart = nullptr;
    QChartView *view = nullptr;
    QValueAxis *timeAxis = nullptr;
    QValueAxis *valueAxis = nullptr;  // mN, left
    QValueAxis *rawAxis = nullptr;    // digits/100, right
    QLineSeries *series[3] = {};
    std::vector<MarkerLine> markerLines;  // as many as markers were ever shown at once
    size_t markersShown = 0;
    qint64 shownAt = 0;
    QString exportDir;
};
