#include "simtranscript.h"

#include <chrono>

void SimTranscript::append(const QByteArray &message)
{
    std::lock_guard<std::mutex> guard(lock);
    received.push_back(message);
    heldBytes += message.size();
    ++total;
    while (!received.empty() && (int(received.size()) > maxMessages || heldBytes > maxBytes)) {
        heldBytes -= received.front().size();
        received.pop_front();
        ++dropped;
    }
    grown.notify_all();
}

QVector<QByteArray> SimTranscript::messages() const
{
    std::lock_guard<std::mutex> guard(lock);
    return QVector<QByteArray>(received.begin(), received.end());
}

void SimTranscript::clear()
{
    std::lock_guard<std::mutex> guard(lock);
    received.clear();
    heldBytes = 0;
    total = 0;
    dropped = 0;
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

quint64 SimTranscript::receivedCount() const
{
    std::lock_guard<std::mutex> guard(lock);
    return total;
}

quint64 SimTranscript::droppedCount() const
{
    std::lock_guard<std::mutex> guard(lock);
    return dropped;
}

bool SimTranscript::waitFor(const std::function<bool(const QByteArray &)> &predicate,
                            int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> guard(lock);
    // Messages are numbered by arrival (total counts them), so the ones already looked at
    // stay known while old ones leave the ring.
    quint64 checked = dropped;
    for (;;) {
        if (checked < dropped || checked > total) // dropped meanwhile, or cleared
            checked = dropped;
        for (; checked < total; ++checked)
            if (predicate(received.at(size_t(checked - dropped))))
                return true;
        if (grown.wait_until(guard, deadline) == std::cv_status::timeout && checked == total)
            return false;
    }
}
