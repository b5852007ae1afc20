#include "stopsignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_WIN
#include <QMetaObject>

#include <atomic>

#include <windows.h>

// A console has no signals: Ctrl-C, Ctrl-Break and closing the console window call a handler
// on a thread of their own, which posts received() to the object's event loop.
namespace {

std::atomic<StopSignals *> listening{nullptr};

BOOL WINAPI onConsoleStop(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (StopSignals *target = listening.load())
        QMetaObject::invokeMethod(target, [target] { emit target->received(); },
                                  Qt::QueuedConnection);
    return TRUE;
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    listening = this;
    SetConsoleCtrlHandler(onConsoleStop, TRUE);
}

StopSignals::~StopSignals()
{
    SetConsoleCtrlHandler(onConsoleStop, FALSE);
    listening = nullptr;
}
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipeEnds[2] = {-1, -1};
struct sigaction previous[2];
const int stopSignals[2] = {SIGINT, SIGTERM};

extern "C" void onStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Non-blocking: with the pipe full, a stop is already on its way.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("Stop signals: no pipe; Ctrl-C ends the program without a safe stop");
        return;
    }
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
        }
        emit received();
    });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i)
        sigaction(stopSignals[i], &action, &previous[i]);
}

StopSignals::~StopSignals()
{
    if (!notifier)
        return;
    for (int i = 0; i < 2; ++i)
        sigaction(stopSignals[i], &previous[i], nullptr);
    delete notifier;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}
#endif
