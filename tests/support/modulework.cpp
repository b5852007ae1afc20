#include "modulework.h"

#include "modulethread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>

bool waitForModuleWork(const ModuleThread *thread, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // The panel, and its thread with it, may be taken away while this waits.
    const QPointer<ModuleThread> alive(const_cast<ModuleThread *>(thread));
    while (alive && alive->busy()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}
