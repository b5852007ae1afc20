#include "timefacility.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {
// Longest slice that a pause spends in one event-processing call.
constexpr int maxEventSliceMs = 100;
// Keep the request log bounded; a test clears it long before this.
constexpr int maxLoggedRequests = 100000;
} // namespace

TimeFacility &TimeFacility::instance()
{
    static TimeFacility facility;
    return facility;
}

TimeFacility::TimeFacility()
{
    monotonic.start();
}

void TimeFacility::record(Kind kind, int ms)
{
    std::lock_guard<std::mutex> guard(lock);
    if (log.size() < maxLoggedRequests)
        log.append({kind, ms});
}

void TimeFacility::pause(int ms)
{
    pause(ms, [] { return false; });
}

namespace {
// The window's thread keeps processing its events while it pauses; any other thread (a
// module's I/O thread, the command-line runner's) simply sleeps.
bool onGuiThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
} // namespace

bool TimeFacility::pause(int ms, const std::function<bool()> &stop)
{
    record(Kind::Pause, ms);
    const qint64 deadline = elapsedMs() + std::max(ms, 0);
    std::optional<QEventLoop> loop;
    if (onGuiThread())
        loop.emplace();
    for (;;) {
        const qint64 left = deadline - elapsedMs();
        if (left <= 0)
            return true;
        if (stop())
            return false;
        const int sliceMs = std::max(
            1, std::min(toReal(int(std::min<qint64>(left, maxEventSliceMs))), maxEventSliceMs));
        if (loop)
            runNested(*loop, sliceMs);
        else
            QThread::msleep(sliceMs);
    }
}

void TimeFacility::runNested(QEventLoop &loop, int realMs)
{
    // A local event loop sleeps while idle (no busy waiting) and, unlike a bare
    // processEvents(), never runs deletions deferred by the code that is waiting here.
    QTimer slice;
    slice.setSingleShot(true);
    slice.setTimerType(Qt::PreciseTimer);
    QObject::connect(&slice, &QTimer::timeout, &loop, &QEventLoop::quit);
    ++pauseDepth;
    slice.start(std::max(realMs, 1));
    loop.exec();
    --pauseDepth;
}

void TimeFacility::sleep(int ms)
{
    record(Kind::Sleep, ms);
    const qint64 deadline = elapsedMs() + std::max(ms, 0);
    for (;;) {
        const qint64 left = deadline - elapsedMs();
        if (left <= 0)
            break;
        QThread::msleep(std::max(1, toReal(int(std::min<qint64>(left, 1000)))));
    }
}

int TimeFacility::timeout(int ms)
{
    record(Kind::Timeout, ms);
    return std::max(1, toReal(ms));
}

int TimeFacility::toReal(int ms) const
{
    std::lock_guard<std::mutex> guard(lock);
    return int(std::ceil(ms / factor));
}

qint64 TimeFacility::elapsedMs() const
{
    std::lock_guard<std::mutex> guard(lock);
    return programBase + qint64((monotonic.elapsed() - realBase) * factor);
}

QDateTime TimeFacility::currentDateTime() const
{
    QDateTime base;
    qint64 since = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        base = wallBase;
        since = wallProgramBase;
    }
    if (!base.isValid())
        return QDateTime::currentDateTime();
    return base.addMSecs(elapsedMs() - since);
}

void TimeFacility::setSpeedup(double newFactor)
{
    std::lock_guard<std::mutex> guard(lock);
    const qint64 realNow = monotonic.elapsed();
    programBase += qint64((realNow - realBase) * factor);
    realBase = realNow;
    factor = newFactor > 0 ? newFactor : 1.0;
}

double TimeFacility::speedup() const
{
    std::lock_guard<std::mutex> guard(lock);
    return factor;
}

void TimeFacility::setWallClock(const QDateTime &now)
{
    const qint64 programNow = elapsedMs();
    std::lock_guard<std::mutex> guard(lock);
    wallBase = now;
    wallProgramBase = programNow;
}

void TimeFacility::resetWallClock()
{
    std::lock_guard<std::mutex> guard(lock);
    wallBase = QDateTime();
}

QVector<TimeFacility::Request> TimeFacility::requests() const
{
    std::lock_guard<std::mutex> guard(lock);
    return log;
}

QVector<int> TimeFacility::requested(Kind kind) const
{
    QVector<int> result;
    for (const Request &r : requests())
        if (r.kind == kind)
            result.append(r.ms);
    return result;
}

void TimeFacility::clearRequests()
{
    std::lock_guard<std::mutex> guard(lock);
    log.clear();
}
