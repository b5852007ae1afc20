#pragma once

#include "referenceregister.h"
#include "resultslocation.h"
#include "resultsstore.h"
#include "scenariorunner.h"

// Records a run's scenarios, one record each, into the configured store. A store that cannot
// be opened or written never stops a scenario: record() says so and the caller tells the
// operator. Each record opens the store afresh on a thread of its own while the event loop
// goes on, since a busy store or a server out of reach can take seconds to answer. The identity the
// module gave in one scenario stands for the scenarios of the same run that read none (the
// calibration, an early end).
class ResultsRecorder
{
public:
    explicit ResultsRecorder(const QString &resource,
                             const ResultsLocation &location = ResultsLocation::configured(),
                             const ReferenceRegister &references = ReferenceRegister::load());
    ~ResultsRecorder();

    void setIdentity(const QString &identity) { knownIdentity = identity; }

    // The record's id, or 0 when it was not stored; failure() then says why.
    qint64 record(const ScenarioOutcome &outcome);
    QString failure() const { return problem; }
    bool anyFailed() const { return failedOnce; }

    // The operator's warnings for the instruments the chosen scenarios would use, read from
    // the port enumeration before the run: missing from the register or past their due date.
    QStringList referenceWarnings(const QVector<ScenarioChoice> &chosen, const QDate &day) const;

    bool registerPresent() const { return references.present(); }
    const ResultsLocation &where() const { return location; }

private:
    QString resource;
    ResultsLocation location;
    ReferenceRegister references;
    QString knownIdentity;
    QString problem;
    bool failedOnce = false;
};
