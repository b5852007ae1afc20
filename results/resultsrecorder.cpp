#include "resultsrecorder.h"

#include "eventwait.h"
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
    // A connection belongs to the thread that made it: it is made, used and closed there.
    bool stored = false;
    runBesideEventLoop([this, &run, &stored] {
        ResultsStore store(location);
        stored = store.open() && store.record(run);
        problem = stored ? QString() : store.error();
    });
    failedOnce = failedOnce || !stored;
    return stored ? run.id : 0;
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
        const QString warning =
            ReferenceRegister::warning(references.check(roles[i], ports.at(i), day));
        if (!warning.isEmpty())
            warnings.append(warning);
    }
    return warnings;
}
