#include "referenceregister.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

namespace {
const char *const registerVariable = "VOLTADESK_REFERENCES";
} // namespace

QString ReferenceRegister::defaultPath()
{
    if (qEnvironmentVariableIsSet(registerVariable))
        return qEnvironmentVariable(registerVariable);
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(base).filePath(QStringLiteral("Korvalis/voltaDesk/references.txt"));
}

ReferenceRegister ReferenceRegister::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return ReferenceRegister();
    ReferenceRegister read = parse(QString::fromUtf8(file.readAll()));
    read.found = true;
    return read;
}

ReferenceRegister ReferenceRegister::parse(const QString &text)
{
    ReferenceRegister found;
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char(';'));
        const QString serial = fields.value(0).trimmed();
        const QDate due = QDate::fromString(fields.value(3).trimmed(), Qt::ISODate);
        if (serial.isEmpty() || !due.isValid())
            continue;
        found.entries.insert(serial, {fields.value(1).trimmed(), fields.value(2).trimmed(), due});
    }
    return found;
}

ReferenceRecord ReferenceRegister::check(const QString &role, const BenchPort &port,
                                         const QDate &day) const
{
    ReferenceRecord reference{role, port.location, port.serialNumber, {}, {}, {}, {}};
    const auto found = entries.constFind(port.serialNumber);
    if (port.serialNumber.isEmpty() || found == entries.constEnd()) {
        reference.status = QStringLiteral("unregistered");
        return reference;
    }
    reference.model = found->model;
    reference.certificate = found->certificate;
    reference.dueDate = found->due.toString(Qt::ISODate);
    reference.status = day <= found->due ? QStringLiteral("valid") : QStringLiteral("expired");
    return reference;
}

QVector<BenchPort> ReferenceRegister::expected(bool useLoad)
{
    BenchPort meter;
    BenchPort foundLoad;
    for (const BenchPort &port : BenchPorts::available()) {
        if (meter.location.isEmpty() && BenchPorts::recognises(BenchInstrument::Multimeter, port))
            meter = port;
        if (useLoad && foundLoad.location.isEmpty() &&
            BenchPorts::recognises(BenchInstrument::Load, port))
            foundLoad = port;
    }
    QVector<BenchPort> ports{meter};
    if (useLoad)
        ports.append(foundLoad);
    return ports;
}

QString ReferenceRegister::warning(const ReferenceRecord &reference)
{
    const QString who =
        (reference.role == QLatin1String("load") ? QStringLiteral("нагрузка электронная")
                                                 : QStringLiteral("мультиметр")) +
        QStringLiteral(" (порт %1, серийный номер %2)")
            .arg(reference.port, reference.serialNumber.isEmpty() ? QStringLiteral("не известен")
                                                                  : reference.serialNumber);
    if (reference.status == QLatin1String("unregistered"))
        return who + QStringLiteral(": нет в реестре эталонов");
    if (reference.status == QLatin1String("expired"))
        return who + QStringLiteral(": срок поверки истёк ") + reference.dueDate;
    return QString();
}
