#include "modulethread.h"

#include <QCoreApplication>
#include <QThread>

namespace {
// How long stop() lets a thread whose call it has just interrupted end before leaving it to
// end on its own: an interrupted VISA call returns within a few milliseconds.
constexpr unsigned long endWaitMs = 50;

// The stop flag of the module thread whose work runs on this thread.
thread_local const std::atomic<bool> *runningStop = nullptr;
} // namespace

// What the work on the thread may still touch after its ModuleThread has gone: it lives until
// the thread has ended.
struct ModuleThread::Core
{
    QThread thread;
    QObject worker;     // lives on thread: the work is queued to it
    QObject home;       // lives on the GUI thread: the results are queued to it
    ModuleSession session;
    std::atomic<bool> stopping{false};
    ModuleThread *owner = nullptr; // GUI thread only
};

ModuleThread::ModuleThread(QObject *parent) : QObject(parent), core(new Core)
{
    core->owner = this;
    core->worker.moveToThread(&core->thread);
    core->thread.setObjectName(QStringLiteral("module I/O"));
    core->thread.start();
}

ModuleThread::~ModuleThread()
{
    stop();
}

ModuleSession &ModuleThread::session()
{
    return core->session;
}

bool ModuleThread::stopping() const
{
    return core->stopping.load();
}

bool ModuleThread::stopRequested()
{
    return runningStop && runningStop->load();
}

void ModuleThread::toGui(std::function<void()> show)
{
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(show), Qt::QueuedConnection);
}

QThread *ModuleThread::workThread() const
{
    return &core->thread;
}

void ModuleThread::post(QObject *receiver, Piece work, std::function<void()> done)
{
    if (stopped)
        return;
    ++pending;
    Core *const c = core;
    const QPointer<QObject> guard(receiver);
    QMetaObject::invokeMethod(
        &c->worker,
        [c, guard, work = std::move(work), done = std::move(done)]() mutable {
            if (c->stopping.load())
                return;
            runningStop = &c->stopping;
            work(c->session);
            QMetaObject::invokeMethod(
                &c->home,
                [c, guard, done = std::move(done)] {
                    if (c->owner)
                        c->owner->cameBack(guard, done);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void ModuleThread::cameBack(const QPointer<QObject> &receiver, const std::function<void()> &done)
{
    // Counted down after done: work that done hands over keeps the thread busy throughout.
    if (receiver && !stopped)
        done();
    if (--pending == 0)
        emit idle();
}

void ModuleThread::stop()
{
    if (stopped)
        return;
    stopped = true;
    Core *const c = core;
    c->owner = nullptr;
    c->stopping.store(true);
    // Closing the session makes a call under way on the thread return at once.
    c->session.close();
    if (QCoreApplication::instance())
        QObject::connect(&c->thread, &QThread::finished, QCoreApplication::instance(),
                         [c] {
                             c->thread.wait();
                             delete c;
                         },
                         Qt::QueuedConnection);
    c->thread.quit();
    if (!QCoreApplication::instance() && c->thread.wait())
        delete c;
    else
        c->thread.wait(endWaitMs);
    pending = 0;
}
