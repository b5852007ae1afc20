#include "modulethread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {
// How long stop() lets a thread whose call it has just interrupted end before leaving it to
// end on its own: an interrupted VISA call returns within a few milliseconds.
constexpr unsigned long endWaitMs = 50;
} // namespace

// What the work on the thread may still touch after its ModuleThread has gone: it lives until
// the thread has ended. It lives on the GUI thread, where it hands the results on.
class ModuleThread::Core : public QObject
{
public:
    struct Task
    {
        Piece work;
        QPointer<QObject> receiver; // made and looked at on the GUI thread only
        std::function<void()> done;
    };

    // A plain thread, so that ThreadSanitizer sees it end: Qt's own waits are hidden from it.
    Core() : worker([this] { serve(); }) {}
    ~Core() override { join(); }
    void join()
    {
        if (worker.joinable())
            worker.join();
    }

    ModuleSession session;
    std::atomic<bool> stopping{false};
    ModuleThread *owner = nullptr; // GUI thread only
    // GUI thread only: results being shown right now, and whether the core goes once they are.
    // A result's done may run a dialog whose nested event loop takes the panel, and with it
    // the ModuleThread, away.
    int dispatching = 0;
    bool goWhenDispatched = false;
    QThread *workThread()
    {
        std::lock_guard<std::mutex> guard(lock);
        return thread;
    }

    // GUI thread.
    void queue(Task task);
    // Ends the thread; true when it ended within waitMs, else the core deletes itself once it
    // has.
    bool quit(int waitMs);
    // The module's thread: runs the tasks in order until quit.
    void serve();
    // Hands a result to the GUI thread from the module's thread.
    void returnResult(QPointer<QObject> receiver, std::function<void()> done);

    // The thread whose work runs the calling code, if any.
    static thread_local Core *running;

protected:
    // Each wake-up shows the one result it was posted for, so that a result never overtakes
    // what its work posted to the GUI thread before it (queued signals of a procedure's
    // progress and outcomes); the thread's end shows whatever is left.
    bool event(QEvent *event) override;

private:
    struct Result
    {
        QPointer<QObject> receiver;
        std::function<void()> done;
    };

    std::mutex lock;
    std::condition_variable wake;
    std::deque<Task> tasks;
    std::deque<Result> results;
    bool quitting = false;
    QThread *thread = nullptr; // as Qt knows the worker, once it has started
    bool ended = false;
    bool orphaned = false; // stopped, and left to go once its thread has ended
    std::condition_variable endedChanged;
    std::thread worker; // last: starts once everything above is in place
};

namespace {
// Tells a core that its thread has ended and that it may go.
constexpr QEvent::Type threadEnded = QEvent::Type(QEvent::User + 1);
} // namespace

thread_local ModuleThread::Core *ModuleThread::Core::running = nullptr;

void ModuleThread::Core::queue(Task task)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        tasks.push_back(std::move(task));
    }
    wake.notify_one();
}

bool ModuleThread::Core::quit(int waitMs)
{
    std::unique_lock<std::mutex> guard(lock);
    quitting = true;
    tasks.clear();
    wake.notify_one();
    if (endedChanged.wait_for(guard, std::chrono::milliseconds(waitMs), [this] { return ended; }))
        return true;
    orphaned = true;
    return false;
}

void ModuleThread::Core::serve()
{
    running = this;
    {
        std::lock_guard<std::mutex> guard(lock);
        thread = QThread::currentThread();
    }
    for (;;) {
        Task task;
        {
            std::unique_lock<std::mutex> guard(lock);
            wake.wait(guard, [this] { return quitting || !tasks.empty(); });
            if (quitting) {
                ended = true;
                endedChanged.notify_all();
                if (orphaned)
                    QCoreApplication::postEvent(this, new QEvent(threadEnded));
                return;
            }
            task = std::move(tasks.front());
            tasks.pop_front();
        }
        if (stopping.load())
            continue;
        task.work(session);
        returnResult(std::move(task.receiver), std::move(task.done));
    }
}

void ModuleThread::Core::returnResult(QPointer<QObject> receiver, std::function<void()> done)
{
    // Made before the result is queued: the GUI thread finds it only after taking the lock.
    auto *wakeUp = new QEvent(QEvent::User);
    {
        std::lock_guard<std::mutex> guard(lock);
        results.push_back({std::move(receiver), std::move(done)});
    }
    QCoreApplication::postEvent(this, wakeUp);
}

bool ModuleThread::Core::event(QEvent *event)
{
    std::deque<Result> arrived;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (event->type() == threadEnded)
            arrived.swap(results);
        else if (event->type() == QEvent::User && !results.empty()) {
            arrived.push_back(std::move(results.front()));
            results.pop_front();
        }
    }
    ++dispatching;
    for (Result &result : arrived) {
        if (!owner)
            break;
        owner->cameBack(result.receiver, result.done);
    }
    if (event->type() == threadEnded) {
        join();
        goWhenDispatched = true;
    }
    // Only the outermost of nested deliveries lets the core go: nothing of it runs any more.
    if (--dispatching == 0 && goWhenDispatched) {
        deleteLater();
        return true;
    }
    if (event->type() == threadEnded)
        return true;
    if (event->type() == QEvent::User)
        return true;
    return QObject::event(event);
}

ModuleThread::ModuleThread(QObject *parent) : QObject(parent), core(new Core)
{
    core->owner = this;
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
    return Core::running && Core::running->stopping.load();
}

void ModuleThread::toGui(std::function<void()> show)
{
    if (Core *c = Core::running)
        c->returnResult(QPointer<QObject>(c), std::move(show));
    else if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(show), Qt::QueuedConnection);
}

QThread *ModuleThread::workThread() const
{
    return core->workThread();
}

void ModuleThread::post(QObject *receiver, Piece work, std::function<void()> done)
{
    if (stopped)
        return;
    ++pending;
    core->queue({std::move(work), QPointer<QObject>(receiver), std::move(done)});
}

void ModuleThread::cameBack(const QPointer<QObject> &receiver, const std::function<void()> &done)
{
    // A progress report of long work (toGui) counts for nothing: its receiver is the core.
    const bool progress = receiver.data() == core;
    const QPointer<ModuleThread> self(this);
    if (receiver && !stopped)
        done();
    // Gone with its panel while done ran: nothing of it is left to count.
    if (!self)
        return;
    if (!progress && --pending == 0)
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
    pending = 0;
    if (!c->quit(endWaitMs))
        return; // it goes once its thread has ended
    c->join();
    if (c->dispatching > 0)
        c->goWhenDispatched = true; // stopped from inside one of its results
    else
        delete c;
}
