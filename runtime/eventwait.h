#pragma once

#include <QEventLoop>
#include <QObject>

#include <functional>

// A wait on the GUI thread that keeps the window alive: events are processed until a condition
// holds or the time is up, as in a pause. Each signal given to wakeOn() makes the wait look at
// its condition again at once, so the wait ends as soon as what it waits for has happened;
// without one it looks at least every 100 ms.
//
//     EventWait arrived(TimeFacility::instance().timeout(10000));
//     arrived.wakeOn(&port, &QIODevice::readyRead);
//     if (!arrived.until([&port] { return port.bytesAvailable() > 0; }))
//         ...; // nothing within 10 s
class EventWait
{
public:
    // realMs: real time, as TimeFacility::timeout() gives it for a wait of program time.
    explicit EventWait(int realMs) : budgetMs(realMs) {}

    template <class Sender, class Signal> void wakeOn(const Sender *sender, Signal signal)
    {
        QObject::connect(sender, signal, &loop, &QEventLoop::quit);
    }

    // True when ready() held before the time was up.
    bool until(const std::function<bool()> &ready);

private:
    QEventLoop loop;
    int budgetMs;
};

// Runs work on a thread of its own while the event loop keeps the window alive, and returns once
// it is done: for calls that block in the kernel for tens of milliseconds or more (walking
// sysfs, flushing a file to disk). work must not touch widgets.
void runBesideEventLoop(const std::function<void()> &work);
