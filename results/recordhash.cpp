#include "recordhash.h"

#include <QCryptographicHash>
#include <QStringList>

#include <algorithm>

namespace {

// A field never holds a line break or a unit separator of its own that could shift another
// field's text into it: both are escaped.
QByteArray field(const QString &value)
{
    QString text = value;
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    text.replace(QLatin1Char('\x1f'), QStringLiteral("\\u"));
    return text.toUtf8();
}

void line(QByteArray &out, const char *name, const QStringList &values)
{
    out += name;
    out += '=';
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += '\x1f';
        out += field(values.at(i));
    }
    out += '\n';
}

} // namespace

QByteArray RecordHash::canonical(const RunRecord &run)
{
    QByteArray out;
    line(out, "started", {run.started});
    line(out, "ended", {run.ended});
    line(out, "station", {run.station});
    line(out, "operator", {run.operatorName});
    line(out, "version", {run.programVersion});
    line(out, "resource", {run.resource});
    line(out, "identity", {run.identity});
    line(out, "serial", {run.serial});
    line(out, "procedure", {run.procedure});
    line(out, "result", {run.result, QString::number(run.failing), run.outcome});
    line(out, "protocol", {run.protocol, run.protocolSha256});
    QVector<ReferenceRecord> references = run.references;
    std::sort(references.begin(), references.end(),
              [](const ReferenceRecord &a, const ReferenceRecord &b) { return a.role < b.role; });
    for (const ReferenceRecord &r : references)
        line(out, "reference",
             {r.role, r.port, r.serialNumber, r.model, r.certificate, r.dueDate, r.status});
    QVector<PointRecord> points = run.points;
    std::sort(points.begin(), points.end(),
              [](const PointRecord &a, const PointRecord &b) { return a.index < b.index; });
    for (const PointRecord &p : points)
        line(out, "point",
             {QString::number(p.index), p.setValue, p.measured, p.error, p.tolerance, p.verdict,
              p.stored});
    return out;
}

QString RecordHash::of(const RunRecord &run)
{
    return ofBytes(run.previousHash.toLatin1() + '\n' + canonical(run));
}

QString RecordHash::ofBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}
