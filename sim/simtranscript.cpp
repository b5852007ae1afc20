#include "simtranscript.h"

#include <chrono>

void SimTranscript::append(const QByteArray &message)
{
    std::lock_guard<std::mutex> guard(lock);
    received.append(message);
    grown.notify_all();
}

QVector<QByteArray> SimTranscript::messages() const
{
    std::lock_guard<std::mutex> guard(lock);
    return received;
}

void SimTranscript::clear()
{
    std::lock_guard<std::mutex> guard(lock);
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> guard(lock);
    int checked = 0;
    for (;;) {
        for (; checked < received.size(); ++checked)
            if (predicate(received.at(checked)))
                return true;
        if (grown.wait_until(guard, deadline) == std::cv_status::timeout &&
            checked == received.size())
            return false;
    }
}
