#pragma once

#include <visa.h>

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <mutex>

// One exchange with an instrument, as the program's I/O helpers made it: a write, a read or a
// query (both), with its outcome and how long it took.
struct IoExchange
{
    enum class Direction
    {
        Sent,
        Received,
        Query,
    };

    quint64 number = 0; // counts every exchange recorded since the program started, from 1
    qint64 msecsSinceEpoch = 0;
    QString instrument; // VISA resource or serial port
    Direction direction = Direction::Sent;
    QByteArray sent;
    QByteArray received;
    // A binary block travels as its header alone; this is the count of data bytes after it,
    // -1 without a block.
    qint64 blockBytes = -1;
    // The VISA status, or for a serial line the outcome's text (outcome set, status unused).
    ViStatus status = VI_SUCCESS;
    const char *outcome = nullptr;
    qint64 durationUs = 0;
};

// The record of the program's instrument traffic that the I/O monitor shows: a ring of the
// latest exchanges, filled by the command chain, the block helpers, the firmware rewriter's
// block transfers and the serial line helpers. Recording happens above the VISA library, so it
// sees the same with any VISA; a formatted query's reply is recorded as the values that its
// read format took from it.
//
// Any thread may record: the firmware rewrite records from its own thread.
class IoRecorder
{
public:
    static constexpr int capacity = 50000;

    static IoRecorder &instance();

    void record(IoExchange exchange);
    // The exchanges numbered above `after` that the ring still holds, oldest first.
    QVector<IoExchange> since(quint64 after) const;
    void clear();
    int size() const;

    // Recording is on from the start; the query benchmark switches it off for comparison.
    void setEnabled(bool on);
    bool enabled() const { return recording.load(std::memory_order_relaxed); }

    // The resource of an open VISA session, as the library names it.
    static QString instrumentOf(ViSession session);
    // Control characters as C escapes ("\n", "\x01"), the rest as it is.
    static QByteArray escaped(const QByteArray &bytes);
    // The values that a formatted read took, walking readFormat over its output variables:
    // numbers as text, strings as they are, separated by commas.
    static QByteArray valuesRead(const char *readFormat, va_list outputs);

private:
    IoRecorder();

    mutable std::mutex lock;
    QVector<IoExchange> ring; // capacity slots once full; next is the slot written next
    int next = 0;
    quint64 lastNumber = 0;
    std::atomic<bool> recording{true};
};

// Times one call of an I/O helper and records it on completion:
//
//     IoCall call(session);
//     call.sent = text;
//     ViStatus status = viWrite(...);
//     call.finish(status);
class IoCall
{
public:
    explicit IoCall(ViSession session);
    explicit IoCall(const QString &instrument);

    void finish(ViStatus status);
    // For an exchange without a VISA status: a serial line's outcome, a block not read.
    void finishAs(const char *outcome);
    bool active() const { return recording; }

    QByteArray sent;
    QByteArray received;
    qint64 blockBytes = -1;

private:
    void finishWith(ViStatus status, const char *outcome);

    bool recording;
    ViSession vi = VI_NULL;
    QString name;
    qint64 startedMs = 0;
    std::chrono::steady_clock::time_point started;
};
