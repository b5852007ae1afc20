#include "selftestprogress.h"

#include "timefacility.h"

#include <QPointer>
#include <QProgressDialog>

void SelfTestProgress::wait(QWidget *panel)
{
    QPointer<QProgressDialog> dialog = new QProgressDialog(panel);
    dialog->setRange(0, steps);
    dialog->setWindowTitle(tr("Самоконтроль"));
    dialog->setLabelText(tr("Ожидание завершения самотестирования..."));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setCancelButton(nullptr);
    dialog->setValue(0);
    dialog->show();
    // The module answers only when its test is over, so the wait runs its full length: an
    // early reply is read afterwards, and a dialog closed by the window manager comes back.
    for (int step = 0; step < steps; ++step) {
        if (dialog && dialog->isHidden())
            dialog->show();
        if (dialog)
            dialog->setValue(step);
        TimeFacility::instance().pause(stepMs);
    }
    if (dialog) {
        dialog->setValue(steps);
        dialog->close();
        delete dialog;
    }
}
