#include "eventloopgaps.h"

#include <algorithm>

EventLoopGaps::EventLoopGaps(int tickMs)
{
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout,
                     [this] { longest = std::max(longest, sinceTick.restart()); });
    timer.start(tickMs);
    sinceTick.start();
}

void EventLoopGaps::stop()
{
    if (!timer.isActive())
        return;
    longest = std::max(longest, sinceTick.elapsed());
    timer.stop();
}

qint64 EventLoopGaps::longestMs() const
{
    return timer.isActive() ? std::max(longest, sinceTick.elapsed()) : longest;
}
