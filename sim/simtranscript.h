#pragma once

#include <QByteArray>
#include <QVector>

#include <condition_variable>
#include <functional>
#include <mutex>

// Everything one simulated instrument received, message by message, in arrival order.
// Tests assert on it; it is safe to read while the instrument's server threads append.
class SimTranscript
{
public:
    void append(const QByteArray &message);
    QVector<QByteArray> messages() const;
    void clear();

    // Messages that start with prefix, in order.
    QVector<QByteArray> startingWith(const QByteArray &prefix) const;
    int count(const QByteArray &prefix) const;
    bool contains(const QByteArray &message) const;
    // Waits up to timeoutMs (real time) until a received message satisfies the predicate.
    bool waitFor(const std::function<bool(const QByteArray &)> &predicate, int timeoutMs) const;

private:
    mutable std::mutex lock;
    mutable std::condition_variable grown;
    QVector<QByteArray> received;
};
