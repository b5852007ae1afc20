#include "eventwait.h"

#include "timefacility.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScopedPointer>
#include <QThread>

#include <algorithm>

namespace {
// The longest the wait goes without looking at its condition, should no signal wake it.
constexpr qint64 maxSliceMs = 100;
} // namespace

bool EventWait::until(const std::function<bool()> &ready)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (ready())
            return true;
        const qint64 left = budgetMs - waited.elapsed();
        if (left <= 0)
            return false;
        TimeFacility::instance().runNested(loop, int(std::min(left, maxSliceMs)));
    }
}

void runBesideEventLoop(const std::function<void()> &work)
{
    // Off the GUI thread there is no window to keep alive: the work runs right here.
    const QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread()) {
        work();
        return;
    }
    QScopedPointer<QThread> worker(QThread::create(work));
    QEventLoop loop;
    // Queued to this thread: a worker that ends before exec() still ends the loop.
    QObject::connect(worker.data(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
}
