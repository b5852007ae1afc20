#pragma once

#include "simtranscript.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

// A bench instrument on a serial line, simulated on a pseudo-terminal. The program opens the
// terminal's slave side (path()) as it would a USB virtual COM port; a thread of the instrument
// reads the lines written there, hands each to the instrument, then records it (with its "\n")
// in the transcript and writes the instrument's reply back. The USB descriptor strings that a
// real port reports are published through portEntry(), one "path|manufacturer|description"
// entry of VOLTADESK_SERIAL_PORTS.
//
// Faults for tests: a mute instrument (executes lines, never answers), late replies, replies
// split into pieces with gaps (program time, so they speed up with the test clock), a line that
// stops accepting writes (the terminal's output is suspended, so the program's writes never leave),
// a port held open exclusively by another program (opens fail with "busy" for anyone without
// administrator rights over the terminal, as in the tests' user namespace), a manufacturer
// string reported in lower case, a fixed reply for every query, chosen replies replaced one by
// one (garbled, empty or NUL-cut readings) and a line that stops accepting writes after a given
// number of lines (a cable pulled in the middle of a run) and a few replies in a row that never
// come (a meter that goes quiet for some readings).
class SimSerialInstrument
{
public:
    virtual ~SimSerialInstrument();
    SimSerialInstrument(const SimSerialInstrument &) = delete;
    SimSerialInstrument &operator=(const SimSerialInstrument &) = delete;

    // Creates the terminal and starts answering; false with the reason in error.
    bool start(QString *error = nullptr);
    // Stops the thread and closes the terminal; the path disappears.
    void stop();

    QString path() const { return slavePath; }
    SimTranscript &transcript() { return received; }

    void setUsbStrings(const QString &manufacturer, const QString &description);
    QString usbManufacturer() const;
    QString usbDescription() const;
    QString portEntry() const;

    // Faults.
    void setMute(bool on);
    // Every reply leaves only after ms of program time (a reply that comes too late).
    void setReplyDelayMs(int ms);
    // Each reply goes out in this many pieces (1: whole), gapMs of program time apart.
    void setSplitReply(int pieces, int gapMs);
    void setStalled(bool on);
    void setHeldOpen(bool on);
    void setLowerCaseMaker(bool on);
    // Replaces the reply to every line that has one (empty: the instrument's own replies).
    void setReplyOverride(const QByteArray &reply);
    // Replaces the next replies, in order, by these; an empty entry leaves that reply alone.
    // Once they are used up the instrument answers as before.
    void setScriptedReplies(const QVector<QByteArray> &replies);
    // The line stops accepting writes (as setStalled) once this many more lines have been
    // received; 0: never.
    void setStallAfter(int lines);
    // After this many more replies, the next count replies are never sent (a meter that goes
    // quiet for a few readings, then answers again).
    void setSilentReplies(int after, int count);
    // Replies, or the rest of them, not yet sent are dropped (a test's dripping reply does not
    // reach into the next test). Part of clearFaults().
    void dropPendingReplies();
    void clearFaults();

protected:
    SimSerialInstrument(const QString &manufacturer, const QString &description);
    // One line as written by the program, "\n" included; returns the reply bytes (empty: none).
    virtual QByteArray execute(const QByteArray &line) = 0;

private:
    using Clock = std::chrono::steady_clock;
    struct Piece
    {
        QByteArray bytes;
        Clock::time_point due;
    };

    void run();
    void handleInput(const QByteArray &bytes);
    void queueReply(const QByteArray &reply);
    void writeDuePieces();
    void stallLocked(bool on);
    int pollTimeoutMs() const;

    SimTranscript received;
    QString slavePath;
    int masterFd = -1;
    int slaveFd = -1; // kept open so the terminal lives between the program's opens
    int holderFd = -1;
    int wakePipe[2] = {-1, -1};
    std::thread worker;

    mutable std::mutex lock;
    QString manufacturer;
    QString description;
    bool mute = false;
    int replyDelayMs = 0;
    int pieces = 1;
    int gapMs = 0;
    bool stalled = false;
    bool lowerCaseMaker = false;
    QByteArray replyOverride;
    std::deque<QByteArray> scriptedReplies;
    int linesBeforeStall = 0;
    int repliesBeforeSilence = 0;
    int silentReplies = 0;
    bool dropOutput = false;
    bool stopping = false;
    std::deque<Piece> output; // worker thread only
    QByteArray pendingLine;   // worker thread only
};
