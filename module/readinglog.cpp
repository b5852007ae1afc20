#include "readinglog.h"

#include "eventwait.h"
#include "filesave.h"

#include <QDateTime>
#include <QIODevice>
#include <QLocale>
#include <QTimeZone>

#include <algorithm>
#include <limits>

const char *ReadingLog::csvHeader = "time,voltage_V,current_A,power_W,temperature_C\n";

namespace {
QByteArray csvNumber(double value)
{
    // The shortest text that reads back as the same double; QString::number ignores the
    // locale, so a Russian desktop still gets a decimal point.
    return QString::number(value, 'g', QLocale::FloatingPointShortest).toLatin1();
}

// Local time's offset from UTC, looked up again only for a reading beyond the zone's next
// transition: converting each of a day's readings to local time would take seconds.
class LocalOffset
{
public:
    int at(qint64 msecsSinceEpoch)
    {
        if (msecsSinceEpoch < from || msecsSinceEpoch >= until) {
            offset = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).offsetFromUtc();
            from = msecsSinceEpoch;
            until = zone.isValid() ? nextTransition(msecsSinceEpoch) : msecsSinceEpoch + 1;
        }
        return offset;
    }

private:
    qint64 nextTransition(qint64 msecsSinceEpoch) const
    {
        const QTimeZone::OffsetData next =
            zone.nextTransition(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch, Qt::UTC));
        return next.atUtc.isValid() ? next.atUtc.toMSecsSinceEpoch()
                                    : std::numeric_limits<qint64>::max();
    }

    const QTimeZone zone = QTimeZone::systemTimeZone();
    int offset = 0;
    qint64 from = 0;
    qint64 until = 0;
};

QByteArray csvTime(qint64 msecsSinceEpoch, LocalOffset &offsets)
{
    return QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch, Qt::OffsetFromUTC,
                                          offsets.at(msecsSinceEpoch))
        .toString(Qt::ISODateWithMs)
        .toLatin1();
}

QByteArray csvText(const std::deque<Reading> &readings)
{
    QByteArray text(ReadingLog::csvHeader);
    text.reserve(int(std::min<std::size_t>(readings.size() * 64, 1u << 30))); // ~60 a line
    LocalOffset offsets;
    for (const Reading &reading : readings) {
        text += csvTime(reading.msecsSinceEpoch, offsets);
        for (double value : {reading.voltage, reading.current, reading.power, reading.temperature})
            text += ',' + csvNumber(value);
        text += '\n';
    }
    return text;
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
    const QByteArray text = csvText(readings);
    return device.write(text) == text.size();
}

bool ReadingLog::saveCsv(const QString &path) const
{
    // A day of readings is some 20 MB of text: it is formatted from a copy beside the event
    // loop, which meanwhile keeps the window alive and the poll adding to the log.
    const std::deque<Reading> copy = readings;
    QByteArray text;
    runBesideEventLoop([&copy, &text] { text = csvText(copy); });
    return saveFile(path, text);
}
