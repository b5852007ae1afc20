#pragma once

#include <QObject>
#include <QString>

#include <deque>

class QIODevice;

// One poll's read-outs of the module: measured voltage and current, the power shown beside
// them and the temperature, stamped with the time the poll took them.
struct Reading
{
    qint64 msecsSinceEpoch = 0;
    double voltage = 0.0;
    double current = 0.0;
    double power = 0.0;
    double temperature = 0.0;
};

// The readings of a module since its panel connected, oldest first, for the chart and the CSV
// log. The panel's poll feeds it; nothing here talks to the module. It holds at most capacity
// readings and drops the oldest beyond that, so that a panel left polling for days does not
// grow without end.
class ReadingLog : public QObject
{
    Q_OBJECT

public:
    explicit ReadingLog(int capacity, QObject *parent = nullptr);

    void append(const Reading &reading);
    int size() const { return int(readings.size()); }
    int capacity() const { return limit; }
    const Reading &at(int index) const { return readings[std::size_t(index)]; }
    // The index of the reading nearest in time to msecsSinceEpoch; -1 while the log is empty.
    int nearest(qint64 msecsSinceEpoch) const;

    // Writes every reading as CSV: a header line, then one line per reading with the local
    // time in ISO 8601 (milliseconds and the offset from UTC) and the numbers with a point as
    // decimal separator, whatever the operator's locale. False when the device fails.
    bool writeCsv(QIODevice &device) const;
    bool saveCsv(const QString &path) const;

    static const char *csvHeader;

signals:
    void appended(const Reading &reading);

private:
    std::deque<Reading> readings;
    int limit;
};
