#pragma once

#include "modulesession.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

class QThread;

// The thread on which all of one module's I/O happens. It owns the module's session; work
// handed to it runs there one piece after another, in the order given, and what a piece
// found comes back to the GUI thread as a queued call. The window therefore never waits for
// the module: a slow module only makes its answers come later.
//
//     thread.run(this, [](ModuleSession &session) { return Rvka5630Link(session).reset(); },
//                [this](bool ok) { ... show it, on the GUI thread ... });
//
// A piece whose receiver has been destroyed by the time it comes back is dropped, so a panel
// that goes away while its work is under way is never called again.
//
// stop() (and the destructor) interrupt the call under way by closing the session, drop the
// work still queued, and return at once; the thread ends on its own and is reclaimed then.
//
// The work and its results travel through queues of this class under a mutex of its own (only a
// data-free wake-up goes through Qt's event queue), so that ThreadSanitizer sees every hand-off.
class ModuleThread : public QObject
{
    Q_OBJECT

public:
    explicit ModuleThread(QObject *parent = nullptr);
    ~ModuleThread() override;

    // For the work running on the thread. On the GUI thread only the session's resource name,
    // whether it is open, its failure record and its signals are used.
    ModuleSession &session();

    // Queues work(session) on the module's thread; once it has run, done(result) runs on the
    // GUI thread, unless receiver is gone by then or the thread has been stopped. A work that
    // returns nothing has a done that takes nothing.
    template <class Work, class Done> void run(QObject *receiver, Work work, Done done)
    {
        using Result = std::invoke_result_t<Work, ModuleSession &>;
        if constexpr (std::is_void_v<Result>) {
            post(receiver, [work](ModuleSession &s) mutable { work(s); },
                 [done]() mutable { done(); });
        } else {
            auto result = std::make_shared<std::optional<Result>>();
            post(receiver,
                 [work, result](ModuleSession &s) mutable { result->emplace(work(s)); },
                 [done, result]() mutable { done(std::move(**result)); });
        }
    }
    template <class Work> void run(QObject *receiver, Work work)
    {
        run(receiver, std::move(work), [](auto &&...) {});
    }

    // For work on a module's thread: true once its ModuleThread has been stopped, so that a
    // long wait (the self-test, a procedure's pauses) ends early. False on any other thread.
    static bool stopRequested();
    // From work on a module's thread: runs show on the GUI thread, in turn with the results
    // (progress of a long piece of work). show must guard what it touches (a QPointer taken on
    // the GUI thread): it may come after its receiver has gone.
    static void toGui(std::function<void()> show);

    // Pieces of work handed over and not yet come back (their done not yet run).
    int outstanding() const { return pending; }
    bool busy() const { return pending > 0; }
    // True once stop() was called: long work (a procedure's pauses) ends at its next look.
    bool stopping() const;
    // Interrupts the call under way, drops what is queued and lets the thread end; returns
    // at once.
    void stop();

    // The thread the work runs on (tests look at it).
    QThread *workThread() const;

signals:
    // Everything handed over has come back.
    void idle();

private:
    class Core;
    using Piece = std::function<void(ModuleSession &)>;
    void post(QObject *receiver, Piece work, std::function<void()> done);
    void cameBack(const QPointer<QObject> &receiver, const std::function<void()> &done);

    Core *core;
    int pending = 0;
    bool stopped = false;
};

