#pragma once

#include <QCoreApplication>

class QWidget;

// The operator's wait for the module's self-test: a progress dialog over the panel for the
// whole duration of the test, which the operator cannot cancel.
class SelfTestProgress
{
    Q_DECLARE_TR_FUNCTIONS(SelfTestProgress)

public:
    static const int steps = 100;
    static const int stepMs = 120;

    // Returns after steps x stepMs whatever happens to the dialog meanwhile.
    static void wait(QWidget *panel);
};
