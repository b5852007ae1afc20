#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QVector>

#include <atomic>
#include <functional>
#include <mutex>

class QEventLoop;

// The single clock behind every wait the program owns: pauses that keep the GUI alive,
// worker sleeps and the time-outs of blocking serial waits. Production runs at speed-up 1
// with the durations exactly as requested; tests speed the clock up and read back what was
// requested, so a 12 s self-test or a 70 s verification runs in a fraction of a second.
class TimeFacility
{
public:
    enum class Kind
    {
        Pause,
        Sleep,
        Timeout
    };
    struct Request
    {
        Kind kind;
        int ms;
    };

    static TimeFacility &instance();

    // Waits ms of program time. On the GUI thread it processes events in slices of at most
    // 100 ms (deferred deletions posted by the caller wait until it has returned); on any other
    // thread it sleeps, in slices of at most 100 ms of real time.
    void pause(int ms);
    // The same pause, ended early once stop() holds; stop() is looked at before every slice,
    // so the pause ends within 100 ms of real time after it has come to hold. The request is
    // recorded with its full length. True when the pause ran to its end.
    bool pause(int ms, const std::function<bool()> &stop);
    // Runs loop for at most realMs of real time (less if something quits it), counted as a
    // nested event loop of the program: pause() and every wait that keeps the window alive
    // process their events here.
    void runNested(QEventLoop &loop, int realMs);
    // Blocks the calling (worker) thread for ms of program time.
    void sleep(int ms);
    // The real duration a blocking wait of ms program time may take; at least 1 ms.
    int timeout(int ms);
    // Real milliseconds that correspond to ms of program time, without recording a request.
    int toReal(int ms) const;

    // True while a pause or a wait is processing events somewhere up the stack (a nested
    // event loop).
    bool pausing() const { return pauseDepth.load() > 0; }

    // Monotonic program time since the facility was created: never jumps with the wall clock.
    qint64 elapsedMs() const;
    // Local wall-clock date and time (reports print the date).
    QDateTime currentDateTime() const;

    // Test controls.
    void setSpeedup(double factor);
    double speedup() const;
    // Makes currentDateTime() start from this moment and advance with program time.
    void setWallClock(const QDateTime &now);
    void resetWallClock();
    QVector<Request> requests() const;
    QVector<int> requested(Kind kind) const;
    void clearRequests();

private:
    TimeFacility();
    void record(Kind kind, int ms);

    QElapsedTimer monotonic;
    std::atomic<int> pauseDepth{0};
    mutable std::mutex lock;
    double factor = 1.0;
    qint64 programBase = 0; // program time at the last speed-up change
    qint64 realBase = 0;    // real time at the last speed-up change
    QDateTime wallBase;     // invalid: the system clock
    qint64 wallProgramBase = 0;
    QVector<Request> log;
};
