#pragma once

#include <QCoreApplication>
#include <QPointer>

class QProgressDialog;
class QWidget;

// The operator's wait for the module's self-test: a progress dialog over the panel for the
// whole duration of the test, which the operator cannot cancel.
class SelfTestProgress
{
    Q_DECLARE_TR_FUNCTIONS(SelfTestProgress)

public:
    static const int steps = 100;
    static const int stepMs = 120;

    // The dialog, shown at step 0; the caller closes and deletes it once the wait is over.
    static QProgressDialog *show(QWidget *panel);
    // On the module's thread: steps x stepMs whatever happens to the dialog meanwhile (a
    // dialog closed by the window manager comes back), ended early only by a stopped thread.
    static void wait(const QPointer<QProgressDialog> &dialog);
};
