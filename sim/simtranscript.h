#pragma once

#include <QByteArray>
#include <QVector>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

// What one simulated instrument received, message by message, in arrival order: the most
// recent messages (at most maxMessages of them, holding at most maxBytes) and counters over
// everything since the last clear(), so that a client that sends for hours cannot make the
// bench grow without bound. Tests assert on it; it is safe to read while the instrument's
// server threads append.
class SimTranscript
{
public:
    static constexpr int maxMessages = 16384;
    static constexpr qint64 maxBytes = 32 << 20;

    void append(const QByteArray &message);
    // The messages still held, oldest first.
    QVector<QByteArray> messages() const;
    void clear();

    // Messages still held that start with prefix, in order.
    QVector<QByteArray> startingWith(const QByteArray &prefix) const;
    int count(const QByteArray &prefix) const;
    bool contains(const QByteArray &message) const;
    // Waits up to timeoutMs (real time) until a message received from now on, or one still
    // held, satisfies the predicate.
    bool waitFor(const std::function<bool(const QByteArray &)> &predicate, int timeoutMs) const;

    // Counters since the last clear(): every message received, and those no longer held.
    quint64 receivedCount() const;
    quint64 droppedCount() const;

private:
    mutable std::mutex lock;
    mutable std::condition_variable grown;
    std::deque<QByteArray> received;
    qint64 heldBytes = 0;
    quint64 total = 0;   // messages appended since clear()
    quint64 dropped = 0; // of those, no longer held
};
