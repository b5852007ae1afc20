#include "modulework.h"

#include "modulethread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

bool waitForModuleWork(const ModuleThread *thread, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (thread && thread->busy()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}
