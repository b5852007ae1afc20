#pragma once

#include "selftestlink.h"

#include <QCoreApplication>
#include <QMessageBox>

// The operator's questions and messages around the module's self-test, as boxes without
// parent for the panel to show (and to rest its poll around), with what their answers mean.
class SelfTestDialogs
{
    Q_DECLARE_TR_FUNCTIONS(SelfTestDialogs)

public:
    enum class Choice
    {
        Run,
        SaveReport,
        Cancel,
    };

    // After a failed self-test: the operator may ignore the result and release the output
    // control.
    static QMessageBox *failedSelfTestBox();
    static bool ignoresFailedSelfTest(QMessageBox::StandardButton answer);
    static QMessageBox *runOrSaveBox();
    static Choice choice(QMessageBox::StandardButton answer);
    // Passed and failed each have their message; a verdict that is neither has none (null).
    static QMessageBox *verdictBox(SelfTestLink::Verdict verdict);
};
