#include "readinglog.h"

#include <QDateTime>
#include <QLocale>
#include <QSaveFile>

#include <algorithm>

const char *ReadingLog::csvHeader = "time,voltage_V,current_A,power_W,temperature_C\n";

namespace {
QByteArray csvNumber(double value)
{
    // The shortest text that reads back as the same double; QString::number ignores the
    // locale, so a Russian desktop still gets a decimal point.
    return QString::number(value, 'g', QLocale::FloatingPointShortest).toLatin1();
}

QByteArray csvTime(qint64 msecsSinceEpoch)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1();
}
} // namespace

ReadingLog::ReadingLog(int capacity, QObject *parent) : QObject(parent), limit(capacity) {}

void ReadingLog::append(const Reading &reading)
{
    readings.push_back(reading);
    while (readings.size() > std::size_t(limit))
        readings.pop_front();
    emit appended(reading);
}

int ReadingLog::nearest(qint64 msecsSinceEpoch) const
{
    if (readings.empty())
        return -1;
    const auto later = std::lower_bound(
        readings.begin(), readings.end(), msecsSinceEpoch,
        [](const Reading &reading, qint64 time) { return reading.msecsSinceEpoch < time; });
    if (later == readings.begin())
        return 0;
    if (later == readings.end())
        return size() - 1;
    const auto earlier = later - 1;
    const bool earlierCloser =
        msecsSinceEpoch - earlier->msecsSinceEpoch <= later->msecsSinceEpoch - msecsSinceEpoch;
    return int((earlierCloser ? earlier : later) - readings.begin());
}

bool ReadingLog::writeCsv(QIODevice &device) const
{
    if (device.write(csvHeader) < 0)
        return false;
    QByteArray line;
    for (const Reading &reading : readings) {
        line = csvTime(reading.msecsSinceEpoch);
        for (double value :
             {reading.voltage, reading.current, reading.power, reading.temperature})
            line += ',' + csvNumber(value);
        line += '\n';
        if (device.write(line) != line.size())
            return false;
    }
    return true;
}

bool ReadingLog::saveCsv(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!writeCsv(file)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
