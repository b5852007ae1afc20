#pragma once

#include <visa.h>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <mutex>
#include <vector>

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
    // The record keeps the first IoRecorder::textBytes of each; these tell what was cut off.
    bool sentCut = false;
    bool receivedCut = false;
    // A binary block travels as its header alone; this is the count of data bytes after it,
    // -1 without a block.
    qint64 blockBytes = -1;
    // The VISA status, or for a serial line the outcome's text (outcome set, status unused).
    ViStatus status = VI_SUCCESS;
    const char *outcome = nullptr;
    qint64 durationUs = 0;
    // Typed by the operator in the command console, not sent by the program.
    bool fromConsole = false;
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
    // Bytes kept of each side of an exchange: commands, replies and block headers are short.
    static constexpr int textBytes = 64;

    static IoRecorder &instance();

    void record(IoExchange exchange);
    // The exchanges numbered above `after` that the ring still holds, oldest first.
    QVector<IoExchange> since(quint64 after) const;
    void clear();
    int size() const;

    // Recording is on from the start; the query benchmark switches it off for comparison.
    void setEnabled(bool on);
    bool enabled() const { return recording.load(std::memory_order_relaxed); }

    // The resource of an open VISA session: the name its owner gave it, else the library's.
    QString instrumentOf(ViSession session) const;
    // The owner of a long-lived session names it once, and forgets it before closing it, so
    // that a recorded call need not ask the library (the handle may be reused afterwards).
    void nameSession(ViSession session, const QString &resource);
    void forgetSession(ViSession session);
    // A VISA status as the program shows it: "VI_SUCCESS", or its code and description.
    static QString statusText(ViStatus status);
    // Control characters as C escapes ("\n", "\x01"), the rest as it is.
    static QByteArray escaped(const QByteArray &bytes);
    // The values that a formatted read took, walking readFormat over its output variables:
    // numbers as text, strings as they are, separated by commas.
    static QByteArray valuesRead(const char *readFormat, va_list outputs);

private:
    // One exchange as the ring holds it: fixed size and free of heap blocks, so that recording
    // writes one slot in a row and frees nothing.
    struct Slot
    {
        quint64 number;
        qint64 msecsSinceEpoch;
        qint64 durationUs;
        qint64 blockBytes;
        const char *outcome;
        ViStatus status;
        int instrument; // index into instruments
        quint8 direction;
        quint8 sentLength, receivedLength;
        bool sentCut, receivedCut;
        bool fromConsole;
        char sent[textBytes];
        char received[textBytes];
    };

    IoRecorder();
    int instrumentIndex(const QString &instrument);
    IoExchange exchangeOf(const Slot &slot) const;

    mutable std::mutex lock;
    QHash<ViSession, QString> sessionNames;
    QStringList instruments;
    QHash<QString, int> instrumentIndexes;
    // All capacity slots from the start (about 9 MB), written in turn, the oldest overwritten
    // once all are used; held of them are in use. Taken page by page as the ring filled, the
    // memory cost each query a page fault now and then, several per cent of the query rate.
    std::vector<Slot> ring;
    int held = 0;
    int newest = -1;
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
    bool fromConsole = false;

private:
    void finishWith(ViStatus status, const char *outcome);

    bool recording;
    ViSession vi = VI_NULL;
    QString name;
    qint64 startedMs = 0;
    std::chrono::steady_clock::time_point started;
};
