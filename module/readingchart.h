#pragma once

#include "readinglog.h"

#include <QVector>
#include <QWidget>

#include <array>

class QTimer;

namespace QtCharts {
class QLineSeries;
class QDateTimeAxis;
class QValueAxis;
} // namespace QtCharts

namespace Ui {
class ReadingChart;
}

// The live chart of a module's readings: voltage, current, power and temperature against time,
// each on its own scale. While it follows the poll it shows the last ten minutes and scrolls
// as readings come; pausing, or zooming into a drawn rectangle, freezes the view until
// "Автомасштаб" fits the scales again and resumes following. The values of the reading nearest
// the cursor are shown above the chart, and the whole log saves as CSV.
//
// The window belongs to the module panel and closes with it. It only reads the panel's log:
// it sends nothing to the module.
class ReadingChart : public QWidget
{
    Q_OBJECT

public:
    static constexpr qint64 visibleSpanMs = 10 * 60 * 1000;
    // The panel polls every 250 ms, and a slow reply or two stretches that. Readings further
    // apart than three polls mean none were taken in between (a modal dialog, a procedure, a
    // module that did not answer): the lines break there instead of bridging the gap.
    static constexpr qint64 gapMs = 3 * 250;

    ReadingChart(const ReadingLog &log, const QString &moduleTitle, QWidget *panel);
    ~ReadingChart() override;

    bool following() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void on_pauseButton_toggled(bool paused);
    void on_autoscaleButton_clicked();
    void on_saveCsvButton_clicked();
    void addReading(const Reading &reading);
    void drawPending();

private:
    enum Quantity { Voltage, Current, Power, Temperature, QuantityCount };

    void buildChart();
    QtCharts::QLineSeries *addSegment(int quantity);
    void clearLines();
    // Appends readings newer than those drawn, starting new segments after each gap.
    void drawReadings(const QVector<Reading> &batch);
    void reloadVisibleSpan();
    void dropPointsBefore(qint64 msecsSinceEpoch);
    void fitScales();
    void showValuesAt(const QPoint &viewportPosition);

    const ReadingLog &readings;
    Ui::ReadingChart *ui;
    // Each quantity's line, oldest segment first: a series for every stretch of readings
    // without a gap, all in the first one's colour; only the first has a legend entry.
    std::array<QVector<QtCharts::QLineSeries *>, QuantityCount> segments;
    std::array<QtCharts::QValueAxis *, QuantityCount> scales{};
    QtCharts::QDateTimeAxis *timeAxis = nullptr;
    QPoint pressedAt;
    // Readings not drawn yet: the chart is redrawn every two seconds, not at every poll, which
    // keeps a window standing open cheap. A hidden window draws nothing and reloads when shown.
    QVector<Reading> pending;
    bool stale = false;
    QTimer *redrawTimer;
};
