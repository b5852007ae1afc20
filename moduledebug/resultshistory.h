#pragma once

#include "runrecord.h"

#include <QVector>
#include <QWidget>

class QComboBox;
class QTableWidget;
namespace QtCharts {
class QChartView;
}

// "История": the recorded runs of one module, found by its serial number, and for a chosen
// procedure and point the error of that point across the runs, drawn with its tolerance band
// so that a drift stands out. It reads the results store only; it sends nothing to the module.
class ResultsHistory : public QWidget
{
    Q_OBJECT
public:
    explicit ResultsHistory(QWidget *parent = nullptr);

    // Reads the store again: the runs of the module with this serial number, or, where it is
    // not known yet, of the module last recorded on resource. False, with the reason shown,
    // when the store cannot be read.
    bool load(const QString &serial, const QString &resource);

    QString serial() const { return moduleSerial; }
    int runCount() const { return runs.size(); }
    // The chart's series as drawn: name and the y values in run order.
    QVector<QPair<QString, QVector<double>>> plotted() const;

private:
    void showRuns();
    void choosePoints();
    void drawChart();

    QString moduleSerial;
    QVector<RunRecord> runs;
    QTableWidget *table;
    QComboBox *procedureBox;
    QComboBox *pointBox;
    QtCharts::QChartView *chartView;
};
