#pragma once

#include "resultsrecorder.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <optional>

// The runner's side of the results store: its options, the reference check before a run and
// one record per scenario, with every failure told on standard error.
//
//     --require-references   refuse a run whose instruments are not registered and valid
//     --require-record       a record that could not be stored fails the run (status 2)
class RunRecording
{
public:
    static void addOptions(QCommandLineParser &parser);

    RunRecording(const QCommandLineParser &parser, const QString &resource, QTextStream &err);

    // The module's identity as the run read it, for every record.
    void setIdentity(const QString &identity) { recorder.setIdentity(identity); }
    // Warns of every instrument missing from the register or past its due date; false when
    // the run is refused for it.
    bool beforeRun(const QVector<ScenarioChoice> &chosen);
    // The record's id; none when it was not stored.
    std::optional<qint64> record(const ScenarioOutcome &outcome);
    // A record was required and one was not stored.
    bool requiredRecordMissing() const { return requireRecord && recorder.anyFailed(); }

private:
    ResultsRecorder recorder;
    QTextStream &err;
    const bool requireRecord;
    const bool requireReferences;
};
