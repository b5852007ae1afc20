#include "firmwarelog.h"

#include <QList>

void FirmwareLog::append(const QByteArray &message)
{
    std::lock_guard<std::mutex> guard(lock);
    text.append(message.constData(), message.size());
    text.append(separator);
}

void FirmwareLog::clear()
{
    std::lock_guard<std::mutex> guard(lock);
    text.clear();
}

QByteArray FirmwareLog::snapshot() const
{
    std::lock_guard<std::mutex> guard(lock);
    // A deep copy: the copy's owner never shares a buffer with the appending thread.
    return QByteArray(text.constData(), text.size());
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
