#pragma once

#include <QTimer>
#include <QWidget>

#include <vector>

class PressureHistory;
class QChart;
class QChartView;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QValueAxis;

// The window "Korvel - Druckverlauf": the three pressure values of the last
// minute over a time axis that ends now, with a labelled vertical line at
// each snapshot, redrawn ten times a second while it is shown.
class PressureChart : public QWidget
{
    Q_OBJECT

public:
    static constexpr int refreshMs = 100;

    explicit PressureChart(const PressureHistory &history, QWidget *parent = nullptr);
    ~PressureChart() override;

public slots:
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct MarkerLine
    {
        QLineSeries *line = nullptr;
        QGraphicsSimpleTextItem *label = nullptr;
    };

    MarkerLine &markerLine(size_t index);

    const PressureHistory &history;
    QTimer refreshTimer;
    QChart *chart = nullptr;
    QChartView *view = nullptr;
    QValueAxis *timeAxis = nullptr;
    QValueAxis *valueAxis = nullptr;
    QLineSeries *series[3] = {};
    std::vector<MarkerLine> markerLines;  // as many as markers were ever shown at once
};
