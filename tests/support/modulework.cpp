#include "modulework.h"

#include "modulethread.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QProgressDialog>
#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>

namespace {
// A question the program has shown and that is not answered yet: the work it leads to is
// still to come. Progress displays only follow work that is counted already.
bool questionOpen()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        const auto *dialog = qobject_cast<QDialog *>(widget);
        if (dialog && dialog->isVisible() && dialog->windowModality() != Qt::NonModal &&
            !qobject_cast<const QProgressDialog *>(dialog))
            return true;
    }
    return false;
}
} // namespace

bool waitForModuleWork(const ModuleThread *thread, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // The panel, and its thread with it, may be taken away while this waits.
    const QPointer<ModuleThread> alive(const_cast<ModuleThread *>(thread));
    while (alive && (alive->busy() || questionOpen())) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}
