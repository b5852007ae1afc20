#pragma once

#include "scenariorunner.h"

#include <QDialog>

// The box shown when a scenario run has ended: one line per scenario that ran, with its
// outcome and, where it wrote a protocol, a button that opens the protocol in the system's
// browser. It does not block: the operator closes it when done.
class ScenarioSummary : public QDialog
{
    Q_OBJECT
public:
    explicit ScenarioSummary(const QVector<ScenarioOutcome> &outcomes, QWidget *parent = nullptr);
};
