#pragma once

#include <QElapsedTimer>
#include <QTimer>

// How long this thread's event loop goes without running a timer that ticks every tickMs: a
// wait that blocks the thread shows as a long gap. Ticks from construction until stop().
class EventLoopGaps
{
public:
    explicit EventLoopGaps(int tickMs = 10);

    void stop();
    // The longest gap so far; while ticking, the time since the last tick counts as well.
    qint64 longestMs() const;
    // For a test that looks at something more on every tick.
    const QTimer &ticker() const { return timer; }

private:
    QTimer timer;
    QElapsedTimer sinceTick;
    qint64 longest = 0;
};
