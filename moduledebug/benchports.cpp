#include "benchports.h"

#include "eventwait.h"

#include <QSerialPortInfo>
#include <QStringList>

#include <algorithm>

namespace {

struct RecognitionRule
{
    BenchInstrument instrument;
    const char *manufacturer;
    const char *description;
};

constexpr RecognitionRule rules[] = {
    {BenchInstrument::Multimeter, "GWinstek", "GDM"},
    {BenchInstrument::Load, "EA Elektro-Automatik GmbH & Co.", "EL 9000"},
};

const char *const portsVariable = "VOLTADESK_SERIAL_PORTS";

// Listing the serial ports walks sysfs through udev, a few thousand file operations that take
// tens of milliseconds, far more on a busy machine.
QList<QSerialPortInfo> systemPorts()
{
    QList<QSerialPortInfo> found;
    runBesideEventLoop([&found] { found = QSerialPortInfo::availablePorts(); });
    return found;
}

// The pinned ports, by instrument; set before a run, on the thread that runs the scenarios.
QString pinned[2];

QString &pinnedPort(BenchInstrument instrument)
{
    return pinned[instrument == BenchInstrument::Multimeter ? 0 : 1];
}

} // namespace

QVector<BenchPort> BenchPorts::available()
{
    QVector<BenchPort> ports;
    for (const QSerialPortInfo &info : systemPorts())
        ports.append(
            {info.systemLocation(), info.manufacturer(), info.description(), info.serialNumber()});
    ports += described(qEnvironmentVariable(portsVariable));
    for (const QString &location : pinned) {
        const bool listed = std::any_of(ports.begin(), ports.end(), [&](const BenchPort &port) {
            return port.location == location;
        });
        if (!location.isEmpty() && !listed)
            ports.append({location, QString(), QString(), QString()});
    }
    return ports;
}

QVector<BenchPort> BenchPorts::described(const QString &entries)
{
    QVector<BenchPort> ports;
    for (const QString &entry : entries.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList fields = entry.split(QLatin1Char('|'));
        const QString location = fields.value(0).trimmed();
        if (location.isEmpty())
            continue;
        ports.append({location, fields.value(1), fields.value(2), fields.value(3).trimmed()});
    }
    return ports;
}

bool BenchPorts::recognises(BenchInstrument instrument, const BenchPort &port)
{
    if (!pinnedPort(instrument).isEmpty())
        return port.location == pinnedPort(instrument);
    for (const RecognitionRule &rule : rules)
        if (rule.instrument == instrument)
            return port.manufacturer.contains(QLatin1String(rule.manufacturer)) &&
                   port.description.contains(QLatin1String(rule.description));
    return false;
}

void BenchPorts::pin(BenchInstrument instrument, const QString &location)
{
    pinnedPort(instrument) = location;
}
