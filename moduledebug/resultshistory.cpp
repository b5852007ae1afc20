#include "resultshistory.h"

#include "eventwait.h"
#include "resultsstore.h"
#include "verificationtext.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

using namespace QtCharts;

namespace {

enum Column
{
    Started,
    Procedure,
    Result,
    Outcome,
    Station,
    Columns,
};

// The errors of a point in the order the protocol gives them, with the names they go by.
const char *const errorNames[] = {
    QT_TRANSLATE_NOOP("ResultsHistory", "Погрешность"),
    QT_TRANSLATE_NOOP("ResultsHistory", "Погрешность измерения"),
};

} // namespace

ResultsHistory::ResultsHistory(QWidget *parent)
    : QWidget(parent, Qt::Window), table(new QTableWidget(this)), procedureBox(new QComboBox(this)),
      pointBox(new QComboBox(this)), chartView(new QChartView(this))
{
    setWindowTitle(tr("История"));
    resize(820, 640);
    table->setColumnCount(Columns);
    table->setHorizontalHeaderLabels(
        {tr("Начало (UTC)"), tr("Процедура"), tr("Итог"), tr("Результат"), tr("Рабочее место")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumHeight(280);
    auto *choice = new QFormLayout;
    choice->addRow(tr("Процедура:"), procedureBox);
    choice->addRow(tr("Точка:"), pointBox);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(table, 1);
    layout->addLayout(choice);
    layout->addWidget(chartView, 2);
    connect(procedureBox, &QComboBox::currentTextChanged, this, [this] { choosePoints(); });
    connect(pointBox, &QComboBox::currentTextChanged, this, [this] { drawChart(); });
}

// The store is read on a thread of its own, the window staying alive meanwhile: a shared
// server may be slow to answer.
bool ResultsHistory::load(const QString &serial, const QString &resource)
{
    moduleSerial = serial;
    runs.clear();
    QString problem;
    runBesideEventLoop([this, &resource, &problem] {
        ResultsStore store(ResultsLocation::configured());
        if (store.open() && moduleSerial.isEmpty()) {
            // The module last recorded on this resource.
            const QVector<RunRecord> all = store.runs(RunFilter(), false);
            for (auto run = all.crbegin(); run != all.crend() && moduleSerial.isEmpty(); ++run)
                if (run->resource == resource)
                    moduleSerial = run->serial;
        }
        if (store.ok() && !moduleSerial.isEmpty())
            runs = store.runs({moduleSerial, QString(), QString()}, true);
        problem = store.error();
    });
    setWindowTitle(moduleSerial.isEmpty() ? tr("История")
                                          : tr("История: модуль %1").arg(moduleSerial));
    showRuns();
    if (!problem.isEmpty()) {
        chartView->chart()->setTitle(tr("Хранилище результатов недоступно: %1").arg(problem));
        return false;
    }
    return true;
}

void ResultsHistory::showRuns()
{
    table->setRowCount(runs.size());
    QStringList procedures;
    for (int row = 0; row < runs.size(); ++row) {
        const RunRecord &run = runs.at(row);
        const QString texts[Columns] = {run.started, run.procedure, run.result, run.outcome,
                                        run.station};
        for (int column = 0; column < Columns; ++column)
            table->setItem(row, column, new QTableWidgetItem(texts[column]));
        if (!procedures.contains(run.procedure) && !run.points.isEmpty())
            procedures.append(run.procedure);
    }
    table->resizeColumnsToContents();
    const QSignalBlocker quiet(procedureBox);
    procedureBox->clear();
    procedureBox->addItems(procedures);
    choosePoints();
}

void ResultsHistory::choosePoints()
{
    QStringList points;
    for (const RunRecord &run : runs)
        if (run.procedure == procedureBox->currentText())
            for (const PointRecord &point : run.points) {
                const QString label = tr("%1: %2").arg(point.index).arg(point.setValue);
                if (!points.contains(label))
                    points.append(label);
            }
    const QSignalBlocker quiet(pointBox);
    pointBox->clear();
    pointBox->addItems(points);
    drawChart();
}

// Only runs that measured the point take part; a point without an error (no reading) leaves a
// gap in its series.
QVector<QPair<QString, QVector<double>>> ResultsHistory::plotted() const
{
    QVector<QPair<QString, QVector<double>>> series;
    const int index = pointBox->currentText().section(QLatin1Char(':'), 0, 0).toInt();
    QVector<double> upper;
    QVector<QVector<double>> errors;
    for (const RunRecord &run : runs) {
        if (run.procedure != procedureBox->currentText())
            continue;
        for (const PointRecord &point : run.points) {
            if (point.index != index || point.error.isEmpty() || point.tolerance.isEmpty())
                continue;
            const QStringList parts = point.error.split(QLatin1Char(';'));
            errors.resize(std::max(errors.size(), int(parts.size())));
            for (int i = 0; i < parts.size(); ++i)
                errors[i].append(verificationValue(parts.at(i)));
            upper.append(verificationValue(point.tolerance));
        }
    }
    for (int i = 0; i < errors.size() && i < int(std::size(errorNames)); ++i)
        series.append({tr(errorNames[i]), errors.at(i)});
    QVector<double> lower;
    for (double limit : upper)
        lower.append(-limit);
    series.append({tr("Допуск"), upper});
    series.append({tr("−Допуск"), lower});
    return series;
}

void ResultsHistory::drawChart()
{
    auto *chart = new QChart;
    const QVector<QPair<QString, QVector<double>>> lines = plotted();
    auto *axisX = new QValueAxis;
    axisX->setTitleText(tr("Запись"));
    axisX->setLabelFormat(QStringLiteral("%d"));
    auto *axisY = new QValueAxis;
    axisY->setTitleText(tr("Погрешность"));
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    // The band: the last two series are its edges.
    if (lines.size() >= 2 && !lines.last().second.isEmpty()) {
        auto *top = new QLineSeries;
        auto *bottom = new QLineSeries;
        for (int i = 0; i < lines.last().second.size(); ++i) {
            top->append(i + 1, lines.at(lines.size() - 2).second.at(i));
            bottom->append(i + 1, lines.last().second.at(i));
        }
        auto *band = new QAreaSeries(top, bottom);
        band->setName(tr("Допуск"));
        band->setOpacity(0.25);
        chart->addSeries(band);
        band->attachAxis(axisX);
        band->attachAxis(axisY);
    }
    for (int s = 0; s + 2 < lines.size(); ++s) {
        auto *series = new QLineSeries;
        series->setName(lines.at(s).first);
        series->setPointsVisible(true);
        for (int i = 0; i < lines.at(s).second.size(); ++i)
            series->append(i + 1, lines.at(s).second.at(i));
        chart->addSeries(series);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
    }
    double extent = 0.0;
    for (const auto &line : lines)
        for (double value : line.second)
            extent = std::max(extent, std::abs(value));
    const int count = lines.isEmpty() ? 0 : lines.last().second.size();
    axisX->setRange(0.5, std::max(count, 1) + 0.5);
    axisX->setTickCount(std::min(std::max(count, 1), 10) + 1);
    axisY->setRange(-1.2 * std::max(extent, 1e-3), 1.2 * std::max(extent, 1e-3));
    chart->setTitle(procedureBox->currentText().isEmpty()
                        ? tr("Записей нет")
                        : procedureBox->currentText() + QLatin1Char(' ') + pointBox->currentText());
    QChart *old = chartView->chart();
    chartView->setChart(chart);
    delete old;
}
