#include "verificationprotocol.h"

#include "eventwait.h"
#include "reportskeleton.h"

VerificationProtocol::VerificationProtocol(const Layout &protocolLayout) : layout(protocolLayout) {}

VerificationProtocol::~VerificationProtocol()
{
    discard();
}

bool VerificationProtocol::open(const QString &path)
{
    file.setFileName(path);
    file.setDirectWriteFallback(true);
    // Unbuffered, so that a short write shows in write()'s count instead of being lost at
    // commit. Truncated, for a file written in place.
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

void VerificationProtocol::addRow(const QStringList &cells)
{
    table.append(QStringList{QString::number(table.size() + 1)} + cells);
}

QByteArray VerificationProtocol::bytes(const QString &identity, const QDate &date) const
{
    ReportSkeleton report(layout.firstTitle + layout.secondTitle +
                              ReportSkeleton::escaped(identity) +
                              QStringLiteral("</b></font></thead>"),
                          layout.headerCells);
    for (const QStringList &row : table)
        report.addRow(row);
    return report.bytes(date);
}

int VerificationProtocol::rowsEndingWith(const QString &lastCell) const
{
    int count = 0;
    for (const QStringList &row : table)
        count += row.last() == lastCell ? 1 : 0;
    return count;
}

bool VerificationProtocol::write(const QString &identity, const QDate &date)
{
    if (!file.isOpen())
        return false;
    const QByteArray data = bytes(identity, date);
    // The commit flushes the file to disk, which can take a while.
    bool written = false;
    runBesideEventLoop([this, &data, &written] {
        written = file.write(data) == data.size() && file.commit();
    });
    if (!written) {
        leaveEmpty();
        return false;
    }
    return true;
}

void VerificationProtocol::discard()
{
    if (file.isOpen())
        leaveEmpty();
}

// Whatever was written so far is dropped (a file written in place keeps it until it is opened
// again), then an empty file takes the path.
void VerificationProtocol::leaveEmpty()
{
    if (file.isOpen()) {
        file.cancelWriting();
        file.commit();
    }
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.commit();
}
