#include "resultsrecorder.h"

#include "scenariorecord.h"

ResultsRecorder::ResultsRecorder(const QString &moduleResource, const ResultsLocation &where,
                                 const ReferenceRegister &instruments)
    : resource(moduleResource), location(where), references(instruments)
{
}

ResultsRecorder::~ResultsRecorder() = default;

qint64 ResultsRecorder::record(const ScenarioOutcome &outcome)
{
    if (!outcome.identity.isEmpty())
        knownIdentity = outcome.identity;
    RunRecord run = ScenarioRecord::of(outcome, resource, knownIdentity, references);
    // A store that failed is opened afresh for the next record: a server back up, a disk
    // with room again.
    if (!store) {
        store = std::make_unique<ResultsStore>(location);
        if (!store->open()) {
            problem = store->error();
            store.reset();
            failedOnce = true;
            return 0;
        }
    }
    if (!store->record(run)) {
        problem = store->error();
        store.reset();
        failedOnce = true;
        return 0;
    }
    problem.clear();
    return run.id;
}

QStringList ResultsRecorder::referenceWarnings(const QVector<ScenarioChoice> &chosen,
                                               const QDate &day) const
{
    bool useLoad = false;
    for (const ScenarioChoice &choice : chosen)
        useLoad = useLoad || ScenarioRecord::usesLoad(choice.scenario);
    const QVector<BenchPort> ports = ReferenceRegister::expected(useLoad);
    const QString roles[] = {QStringLiteral("multimeter"), QStringLiteral("load")};
    QStringList warnings;
    for (int i = 0; i < ports.size(); ++i) {
        if (ports.at(i).location.isEmpty())
            continue; // not on the bench at all: the scenario itself will say so
        const QString warning = ReferenceRegister::warning(references.check(roles[i], ports.at(i), day));
        if (!warning.isEmpty())
            warnings.append(warning);
    }
    return warnings;
}
