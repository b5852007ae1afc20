#pragma once

#include "scenariofailure.h"
#include "scenariomonitor.h"

#include <QDateTime>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>

class ModuleSession;

// The metrology scenarios, in the fixed order in which a run takes them.
enum class Scenario
{
    AutoCalibration,
    Vdc,
    VdcCurr,
    VacCurr,
    Idc,
    IdcN,
    Iac,
};

// How a scenario came out, in words that stay the same whatever the texts say: every point
// "норма" (or the calibration done), some point "не норма", a fault of the bench's set-up
// (instruments missing or not on the module's output, the protocol not writable), stopped
// by the operator, or a link lost during the run.
enum class ScenarioResult
{
    Pass,
    Fail,
    Setup,
    Stopped,
    Error,
};

struct ScenarioChoice
{
    Scenario scenario;
    QString fName; // the protocol path of a verification; none for the calibration
};

// Where a scenario stands: point k of n (0 of 0 before its first point), the program time
// since it began and, estimated from the pauses a full run of it prescribes, the time left.
struct ScenarioProgress
{
    Scenario scenario = Scenario::AutoCalibration;
    int point = 0;
    int points = 0;
    qint64 elapsedMs = 0;
    qint64 remainingMs = 0;
    bool pointStarted = false; // this report opens the scenario or a new point
};

// How one scenario of a run ended.
struct ScenarioOutcome
{
    Scenario scenario = Scenario::AutoCalibration;
    QString fName;
    ScenarioFailure failure = ScenarioFailure::None;
    int points = 0;  // rows of the protocol written
    int failing = 0; // of them "не норма"
    QString message; // the operator's message when it ended early
    // For the record: when it ran (UTC), the instruments it opened, the module's identity
    // where it read one, and every point it measured as its protocol shows it.
    QDateTime started;
    QDateTime ended;
    BenchPort multimeter;
    BenchPort load;
    QString identity;
    QVector<QStringList> rows;

    bool protocolWritten() const { return failure == ScenarioFailure::None && !fName.isEmpty(); }
};

Q_DECLARE_METATYPE(Scenario)
Q_DECLARE_METATYPE(ScenarioProgress)
Q_DECLARE_METATYPE(ScenarioOutcome)

// Runs a selection of scenarios on one module session, one after another in the fixed order
// with a second between them, and follows each: its progress, its outcome, and a stop that
// the operator may ask for at any moment. A stop ends the running scenario at its next pause
// the way every failure ends it (output and load input off, instruments released, protocol
// left empty) and skips the rest of the selection. Both the debug window and the command-line
// runner run their scenarios here; neither shows anything from in here: the messages travel
// in the outcomes.
//
// run() may be called on the module's thread: the signals then reach receivers on the GUI
// thread queued, and requestStop() may be called from any thread.
class ScenarioRunner : public QObject
{
    Q_OBJECT
public:
    explicit ScenarioRunner(ModuleSession &session, QObject *parent = nullptr);

    // The operator's name of a scenario, as its check box shows it.
    static QString name(Scenario scenario);
    // The operator's message for a scenario that ended early; empty for None.
    static QString message(Scenario scenario, ScenarioFailure failure);
    // One line of progress: the scenario, its point and its times.
    static QString progressText(const ScenarioProgress &progress);
    // What a scenario came to: all points "норма", how many were "не норма", done (the
    // calibration), or the message it ended with.
    static QString outcomeText(const ScenarioOutcome &outcome);
    static ScenarioResult result(const ScenarioOutcome &outcome);
    // The protocol paths of the chosen verifications that name a file with something in it:
    // a run would replace them.
    static QStringList existingProtocols(const QVector<ScenarioChoice> &chosen);
    // A selection can run when every verification has a path and no two share one.
    static bool valid(const QVector<ScenarioChoice> &chosen);

    // One scenario, followed by monitor if there is one.
    static ScenarioFailure perform(ModuleSession &session, const ScenarioChoice &choice,
                                   ScenarioMonitor *monitor = nullptr);

    // Runs the chosen scenarios (in the fixed order, whatever the order given) and returns
    // their outcomes; the scenarios skipped after a stop have none.
    QVector<ScenarioOutcome> run(QVector<ScenarioChoice> chosen);

    // Safe from any thread while run() is under way, and before it.
    void requestStop() { stopping = true; }
    bool stopRequested() const { return stopping; }

signals:
    // index counts from 1 up to count, the number of scenarios chosen.
    void scenarioStarted(int index, int count, Scenario scenario);
    void progressed(const ScenarioProgress &progress);
    void scenarioEnded(int index, int count, const ScenarioOutcome &outcome);

private:
    // Follows the running scenario for the runner: its progress, its outcome and the stop.
    class Follower : public ScenarioMonitor
    {
    public:
        explicit Follower(ScenarioRunner &runner) : runner(runner) {}
        void pointStarted(int k, int n) override;
        void pausing(int ms) override;
        void protocolWritten(int points, int failing) override;
        void instrumentsFound(const BenchPort &multimeter, const BenchPort &load) override;
        void pointsMeasured(const QVector<QStringList> &rows, const QString &identity) override;
        bool stopRequested() const override { return runner.stopping; }

    private:
        ScenarioRunner &runner;
    };

    ScenarioFailure runOne(const ScenarioChoice &choice);
    qint64 rehearse(const ScenarioChoice &choice);
    void report(bool pointStarted);

    ModuleSession &session;
    Follower follower{*this};
    std::atomic<bool> stopping{false};
    ScenarioProgress current;
    ScenarioOutcome *outcome = nullptr;
    qint64 startedAt = 0;
    qint64 prescribedMs = 0; // of the whole scenario
    qint64 pausedMs = 0;     // of it so far
};
