#include "selftestprogress.h"

#include "modulethread.h"
#include "timefacility.h"

#include <QProgressDialog>

QProgressDialog *SelfTestProgress::show(QWidget *panel)
{
    auto *dialog = new QProgressDialog(panel);
    dialog->setRange(0, steps);
    dialog->setWindowTitle(tr("Самоконтроль"));
    dialog->setLabelText(tr("Ожидание завершения самотестирования..."));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setCancelButton(nullptr);
    dialog->setValue(0);
    dialog->show();
    return dialog;
}

void SelfTestProgress::wait(const QPointer<QProgressDialog> &dialog)
{
    // The module answers only when its test is over, so the wait runs its full length: an
    // early reply is read afterwards.
    for (int step = 0; step < steps; ++step) {
        ModuleThread::toGui([dialog, step] {
            if (!dialog)
                return;
            if (dialog->isHidden())
                dialog->show();
            dialog->setValue(step);
        });
        TimeFacility::instance().pause(stepMs, &ModuleThread::stopRequested);
    }
}
