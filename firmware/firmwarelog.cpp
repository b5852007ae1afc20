#include "firmwarelog.h"

#include <QList>
#include <QMutexLocker>

void FirmwareLog::append(const QByteArray &message)
{
    QMutexLocker locker(&lock);
    text += message;
    text += separator;
}

void FirmwareLog::clear()
{
    QMutexLocker locker(&lock);
    text.clear();
}

QByteArray FirmwareLog::snapshot() const
{
    QMutexLocker locker(&lock);
    return text;
}

QByteArray FirmwareLog::latestMessage() const
{
    return latestMessageOf(snapshot());
}

QByteArray FirmwareLog::latestMessageOf(const QByteArray &log)
{
    const QList<QByteArray> pieces = log.split(separator);
    return pieces.size() >= 2 ? pieces.at(pieces.size() - 2) : QByteArray();
}
