#include "simtranscript.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

void SimTranscript::append(const QByteArray &message)
{
    QMutexLocker locker(&lock);
    received.append(message);
    grown.wakeAll();
}

QVector<QByteArray> SimTranscript::messages() const
{
    QMutexLocker locker(&lock);
    return received;
}

void SimTranscript::clear()
{
    QMutexLocker locker(&lock);
    received.clear();
}

QVector<QByteArray> SimTranscript::startingWith(const QByteArray &prefix) const
{
    QVector<QByteArray> result;
    for (const QByteArray &m : messages())
        if (m.startsWith(prefix))
            result.append(m);
    return result;
}

int SimTranscript::count(const QByteArray &prefix) const
{
    return startingWith(prefix).size();
}

bool SimTranscript::contains(const QByteArray &message) const
{
    return messages().contains(message);
}

bool SimTranscript::waitFor(const std::function<bool(const QByteArray &)> &predicate,
                            int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker locker(&lock);
    int checked = 0;
    for (;;) {
        for (; checked < received.size(); ++checked)
            if (predicate(received.at(checked)))
                return true;
        if (!grown.wait(&lock, deadline))
            return false;
    }
}
