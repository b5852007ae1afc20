#pragma once

#include "selftestlink.h"

#include <QCoreApplication>

// The operator's questions and messages around the module's self-test. Each runs a modal box
// without parent and returns when the operator has answered; the caller stops its polling
// around them.
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

    // After a failed self-test: true when the operator chooses to ignore the result and
    // release the output control.
    static bool ignoreFailedSelfTest();
    static Choice runOrSave();
    // Passed and failed each have their message; a verdict that is neither shows nothing.
    static void showVerdict(SelfTestLink::Verdict verdict);
};
