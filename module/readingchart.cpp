#include "readingchart.h"

#include "readinglog.h"
#include "savefiledialog.h"
#include "ui_readingchart.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>

using namespace QtCharts;

namespace {
struct QuantityView
{
    const char *name;
    double Reading::*value;
    Qt::Alignment side;
};

// Volts and amperes on the left, watts and degrees on the right.
const QuantityView quantities[] = {
    {QT_TRANSLATE_NOOP("ReadingChart", "Напряжение, В"), &Reading::voltage, Qt::AlignLeft},
    {QT_TRANSLATE_NOOP("ReadingChart", "Ток, А"), &Reading::current, Qt::AlignLeft},
    {QT_TRANSLATE_NOOP("ReadingChart", "Мощность, Вт"), &Reading::power, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("ReadingChart", "Температура, °C"), &Reading::temperature, Qt::AlignRight},
};

// A drag shorter than this is a click, not a rectangle to zoom into.
const int zoomDragPixels = 4;
// A pixel of a ten-minute axis is about a second: a redraw every two seconds moves the curves
// by a pixel or two.
const int redrawIntervalMs = 2000;
} // namespace

ReadingChart::ReadingChart(const ReadingLog &log, const QString &moduleTitle, QWidget *panel)
    : QWidget(panel, Qt::Window), readings(log), ui(new Ui::ReadingChart),
      redrawTimer(new QTimer(this))
{
    ui->setupUi(this);
    setWindowTitle(tr("График — %1").arg(moduleTitle));
    buildChart();
    ui->chartView->viewport()->setMouseTracking(true);
    ui->chartView->viewport()->installEventFilter(this);
    connect(&readings, &ReadingLog::appended, this, &ReadingChart::addReading);
    connect(redrawTimer, &QTimer::timeout, this, &ReadingChart::drawPending);
    redrawTimer->start(redrawIntervalMs);
    reloadVisibleSpan();
}

ReadingChart::~ReadingChart()
{
    delete ui;
}

bool ReadingChart::following() const
{
    return !ui->pauseButton->isChecked();
}

void ReadingChart::buildChart()
{
    auto *chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    timeAxis = new QDateTimeAxis;
    timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
    timeAxis->setTitleText(tr("Время"));
    chart->addAxis(timeAxis, Qt::AlignBottom);
    ui->chartView->setChart(chart);
    for (int q = 0; q < QuantityCount; ++q) {
        scales[q] = new QValueAxis;
        scales[q]->setLabelFormat(QStringLiteral("%.4g"));
        chart->addAxis(scales[q], quantities[q].side);
        QLineSeries *line = addSegment(q);
        scales[q]->setLinePenColor(line->color());
        scales[q]->setLabelsColor(line->color());
    }
    ui->chartView->setRubberBand(QChartView::RectangleRubberBand);
}

QLineSeries *ReadingChart::addSegment(int quantity)
{
    QChart *chart = ui->chartView->chart();
    auto *segment = new QLineSeries;
    segment->setName(tr(quantities[quantity].name));
    const bool first = segments[quantity].isEmpty();
    if (!first)
        segment->setPen(segments[quantity].first()->pen());
    chart->addSeries(segment);
    segment->attachAxis(timeAxis);
    segment->attachAxis(scales[quantity]);
    if (!first)
        for (QLegendMarker *marker : chart->legend()->markers(segment))
            marker->setVisible(false);
    segments[quantity].append(segment);
    return segment;
}

void ReadingChart::clearLines()
{
    QChart *chart = ui->chartView->chart();
    for (QVector<QLineSeries *> &line : segments) {
        for (int i = 1; i < line.size(); ++i) {
            chart->removeSeries(line[i]);
            delete line[i];
        }
        line.resize(1);
        line.first()->clear();
    }
}

void ReadingChart::drawReadings(const QVector<Reading> &batch)
{
    std::array<QList<QPointF>, QuantityCount> run;
    const auto flush = [&] {
        for (int q = 0; q < QuantityCount; ++q) {
            if (!run[q].isEmpty())
                segments[q].last()->append(run[q]);
            run[q].clear();
        }
    };
    const QLineSeries *newest = segments[0].last();
    bool drawn = newest->count() > 0;
    qint64 last = drawn ? qint64(newest->at(newest->count() - 1).x()) : 0;
    for (const Reading &reading : batch) {
        if (drawn && reading.msecsSinceEpoch - last > gapMs) {
            flush();
            for (int q = 0; q < QuantityCount; ++q)
                addSegment(q);
        }
        for (int q = 0; q < QuantityCount; ++q)
            run[q].append(QPointF(reading.msecsSinceEpoch, reading.*quantities[q].value));
        last = reading.msecsSinceEpoch;
        drawn = true;
    }
    flush();
}

void ReadingChart::reloadVisibleSpan()
{
    QVector<Reading> visible;
    const int count = readings.size();
    const qint64 from = count ? readings.at(count - 1).msecsSinceEpoch - visibleSpanMs : 0;
    for (int i = std::max(0, readings.nearest(from)); i < count; ++i)
        if (readings.at(i).msecsSinceEpoch >= from)
            visible.append(readings.at(i));
    clearLines();
    drawReadings(visible);
    pending.clear();
    stale = false;
    fitScales();
}

void ReadingChart::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (stale && following())
        reloadVisibleSpan();
}

void ReadingChart::addReading(const Reading &reading)
{
    if (!following())
        return;
    if (!isVisible()) {
        stale = true;
        return;
    }
    pending.append(reading);
}

void ReadingChart::drawPending()
{
    if (pending.isEmpty() || !following())
        return;
    drawReadings(pending);
    dropPointsBefore(pending.last().msecsSinceEpoch - visibleSpanMs);
    pending.clear();
    fitScales();
}

void ReadingChart::dropPointsBefore(qint64 msecsSinceEpoch)
{
    QChart *chart = ui->chartView->chart();
    for (QVector<QLineSeries *> &line : segments) {
        // A segment wholly out of view goes; the first keeps the legend entry, so the next
        // segment's points move into it instead.
        while (line.size() > 1 &&
               (line[0]->count() == 0 || line[0]->at(line[0]->count() - 1).x() < msecsSinceEpoch)) {
            line[0]->replace(line[1]->pointsVector());
            chart->removeSeries(line[1]);
            delete line[1];
            line.remove(1);
        }
        int old = 0;
        while (old < line[0]->count() && line[0]->at(old).x() < msecsSinceEpoch)
            ++old;
        if (old > 0)
            line[0]->removePoints(0, old);
    }
}

// The last ten minutes along the time axis, each scale fitted to its points with a margin.
void ReadingChart::fitScales()
{
    const QLineSeries *newest = segments[0].last();
    const int count = newest->count();
    const qint64 last =
        count ? qint64(newest->at(count - 1).x()) : QDateTime::currentMSecsSinceEpoch();
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(last - visibleSpanMs),
                       QDateTime::fromMSecsSinceEpoch(last));
    for (int q = 0; q < QuantityCount; ++q) {
        bool any = false;
        double low = 0.0, high = 0.0;
        for (const QLineSeries *segment : qAsConst(segments[q])) {
            for (int i = 0; i < segment->count(); ++i) {
                const double y = segment->at(i).y();
                low = any ? std::min(low, y) : y;
                high = any ? std::max(high, y) : y;
                any = true;
            }
        }
        const double margin = high > low ? (high - low) * 0.05 : std::max(1.0, qAbs(high) * 0.05);
        scales[q]->setRange(low - margin, high + margin);
    }
}

void ReadingChart::on_pauseButton_toggled(bool paused)
{
    if (paused) {
        pending.clear();
        return;
    }
    ui->chartView->chart()->zoomReset();
    reloadVisibleSpan();
}

void ReadingChart::on_autoscaleButton_clicked()
{
    if (!following()) {
        ui->pauseButton->setChecked(false); // reloads
        return;
    }
    ui->chartView->chart()->zoomReset();
    reloadVisibleSpan();
}

void ReadingChart::on_saveCsvButton_clicked()
{
    SaveFileDialog::save(this, tr("Сохранить показания"), QString(), tr("Таблица CSV (*.csv)"),
                         [this](const QString &path) { return readings.saveCsv(path); });
}

bool ReadingChart::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui->chartView->viewport())
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
        showValuesAt(static_cast<QMouseEvent *>(event)->pos());
        break;
    case QEvent::MouseButtonPress:
        pressedAt = static_cast<QMouseEvent *>(event)->pos();
        break;
    case QEvent::MouseButtonRelease: {
        // The view zooms on this release: a rectangle drawn with the left button, or out with
        // the right one. A zoomed view must not scroll away under the operator.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const bool dragged = (mouse->pos() - pressedAt).manhattanLength() > zoomDragPixels;
        if (mouse->button() == Qt::RightButton || dragged)
            ui->pauseButton->setChecked(true);
        break;
    }
    default:
        break;
    }
    return false;
}

void ReadingChart::showValuesAt(const QPoint &viewportPosition)
{
    QChart *chart = ui->chartView->chart();
    const QPointF scenePoint = ui->chartView->mapToScene(viewportPosition);
    const QPointF value =
        chart->mapToValue(chart->mapFromScene(scenePoint), segments[Voltage].first());
    const int index = readings.nearest(qint64(value.x()));
    if (index < 0 || !chart->plotArea().contains(chart->mapFromScene(scenePoint))) {
        ui->cursorLabel->clear();
        return;
    }
    const Reading &reading = readings.at(index);
    ui->cursorLabel->setText(
        tr("%1   U = %2 В   I = %3 А   P = %4 Вт   T = %5 °C")
            .arg(QDateTime::fromMSecsSinceEpoch(reading.msecsSinceEpoch).toString("HH:mm:ss.zzz"))
            .arg(reading.voltage, 0, 'f', 4)
            .arg(reading.current, 0, 'f', 4)
            .arg(reading.power, 0, 'f', 4)
            .arg(reading.temperature, 0, 'f', 1));
}
