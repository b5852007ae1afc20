#include "readingchart.h"

#include "readinglog.h"
#include "savefiledialog.h"
#include "ui_readingchart.h"

#include <QDateTime>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
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
    for (int q = 0; q < QuantityCount; ++q) {
        series[q] = new QLineSeries;
        series[q]->setName(tr(quantities[q].name));
        chart->addSeries(series[q]);
        scales[q] = new QValueAxis;
        scales[q]->setLabelFormat(QStringLiteral("%.4g"));
        scales[q]->setLinePenColor(series[q]->color());
        scales[q]->setLabelsColor(series[q]->color());
        chart->addAxis(scales[q], quantities[q].side);
        series[q]->attachAxis(timeAxis);
        series[q]->attachAxis(scales[q]);
    }
    ui->chartView->setChart(chart);
    ui->chartView->setRubberBand(QChartView::RectangleRubberBand);
}

void ReadingChart::reloadVisibleSpan()
{
    std::array<QVector<QPointF>, QuantityCount> points;
    const int count = readings.size();
    const qint64 from = count ? readings.at(count - 1).msecsSinceEpoch - visibleSpanMs : 0;
    for (int i = std::max(0, readings.nearest(from)); i < count; ++i) {
        const Reading &reading = readings.at(i);
        if (reading.msecsSinceEpoch < from)
            continue;
        for (int q = 0; q < QuantityCount; ++q)
            points[q].append(QPointF(reading.msecsSinceEpoch, reading.*quantities[q].value));
    }
    for (int q = 0; q < QuantityCount; ++q)
        series[q]->replace(points[q]);
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
    for (int q = 0; q < QuantityCount; ++q) {
        QList<QPointF> points;
        points.reserve(pending.size());
        for (const Reading &reading : qAsConst(pending))
            points.append(QPointF(reading.msecsSinceEpoch, reading.*quantities[q].value));
        series[q]->append(points);
    }
    dropPointsBefore(pending.last().msecsSinceEpoch - visibleSpanMs);
    pending.clear();
    fitScales();
}

void ReadingChart::dropPointsBefore(qint64 msecsSinceEpoch)
{
    int old = 0;
    while (old < series[0]->count() && series[0]->at(old).x() < msecsSinceEpoch)
        ++old;
    if (old == 0)
        return;
    for (QLineSeries *line : series)
        line->removePoints(0, old);
}

// The last ten minutes along the time axis, each scale fitted to its points with a margin.
void ReadingChart::fitScales()
{
    const int count = series[0]->count();
    const qint64 last =
        count ? qint64(series[0]->at(count - 1).x()) : QDateTime::currentMSecsSinceEpoch();
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(last - visibleSpanMs),
                       QDateTime::fromMSecsSinceEpoch(last));
    for (int q = 0; q < QuantityCount; ++q) {
        double low = 0.0, high = 0.0;
        for (int i = 0; i < count; ++i) {
            const double y = series[q]->at(i).y();
            low = i ? std::min(low, y) : y;
            high = i ? std::max(high, y) : y;
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
    const QString path = SaveFileDialog::fileName(this, tr("Сохранить показания"), QString(),
                                                  tr("Таблица CSV (*.csv)"));
    if (path.isEmpty())
        return;
    if (!readings.saveCsv(path))
        QMessageBox::warning(this, tr("Ошибка"), tr("Не удалось записать файл %1").arg(path));
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
    const QPointF value = chart->mapToValue(chart->mapFromScene(scenePoint), series[Voltage]);
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
