#include "scenariorunner.h"

#include "autocalibration.h"
#include "rangeverification.h"
#include "scenarioselection.h"
#include "stabilityverification.h"
#include "timefacility.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace {

// The instruments and the module get a second between scenarios.
constexpr int betweenScenariosMs = 1000;

using Verification = ScenarioFailure (*)(ModuleSession &, const QString &, ScenarioMonitor *);

struct ScenarioEntry
{
    Scenario scenario;
    const char *name;
    Verification verify; // none: the calibration
};

const ScenarioEntry scenarios[] = {
    {Scenario::AutoCalibration, QT_TRANSLATE_NOOP("ScenarioRunner", "Автокалибровка"), nullptr},
    {Scenario::Vdc,
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка воспроизведения/измерения напряжения"),
     RangeVerification::checkVdc},
    {Scenario::VdcCurr,
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка нестабильности выходного напряжения"),
     StabilityVerification::checkVdcCurr},
    {Scenario::VacCurr,
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка уровня пульсаций выходного напряжения"),
     StabilityVerification::checkVacCurr},
    {Scenario::Idc,
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка воспроизведения/измерения выходного тока"),
     RangeVerification::checkIdc},
    {Scenario::IdcN, QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка нестабильности выходного тока"),
     StabilityVerification::checkIdcN},
    {Scenario::Iac, QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка уровня пульсаций выходного тока"),
     StabilityVerification::checkIac},
};

const ScenarioEntry &entry(Scenario scenario)
{
    return scenarios[int(scenario)];
}

// The operator's words for each way a scenario can end early: the calibration's and the
// verifications' own.
struct ScenarioMessage
{
    ScenarioFailure failure;
    const char *calibration;
    const char *verification;
};

const ScenarioMessage scenarioMessages[] = {
    {ScenarioFailure::ReportFile, nullptr,
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка: не удалось открыть файл для записи!")},
    {ScenarioFailure::MultimeterCannotOpen,
     QT_TRANSLATE_NOOP("ScenarioRunner", "Автокалибровка: ошибка инициализации мультиметра!"),
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка: ошибка инициализации мультиметра!")},
    {ScenarioFailure::MultimeterLinkBroken,
     QT_TRANSLATE_NOOP("ScenarioRunner", "Автокалибровка: связь с мультиметром разорвана!"),
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка: связь с мультиметром разорвана!")},
    {ScenarioFailure::LoadCannotOpen, nullptr,
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка: ошибка инициализации нагрузки электронной!")},
    {ScenarioFailure::LoadLinkBroken, nullptr,
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка: связь с нагрузкой электронной разорвана!")},
    {ScenarioFailure::InstrumentsMissing,
     QT_TRANSLATE_NOOP("ScenarioRunner",
                       "Автокалибровка: не удалось обнаружить доп. оборудование!"),
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка: не удалось обнаружить доп. оборудование!")},
    {ScenarioFailure::ModuleLinkBroken,
     QT_TRANSLATE_NOOP("ScenarioRunner", "Автокалибровка: связь с устройством разорвана!"),
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка: связь с устройством разорвана!")},
    {ScenarioFailure::ReferenceNotFollowing,
     QT_TRANSLATE_NOOP("ScenarioRunner",
                       "Автокалибровка: показания мультиметра не следуют за выходом модуля. "
                       "Проверьте подключение мультиметра к выходу модуля!"),
     QT_TRANSLATE_NOOP("ScenarioRunner",
                       "Поверка: показания мультиметра не следуют за выходом модуля. "
                       "Проверьте подключение мультиметра к выходу модуля!")},
    {ScenarioFailure::Stopped,
     QT_TRANSLATE_NOOP("ScenarioRunner", "Автокалибровка: остановлена оператором."),
     QT_TRANSLATE_NOOP("ScenarioRunner", "Поверка: остановлена оператором.")},
};

// Counts the pauses of a scenario run without instruments, and where its points begin.
class Rehearsal : public ScenarioMonitor
{
public:
    qint64 total = 0;

    void pointStarted(int, int) override {}
    void pausing(int ms) override { total += ms; }
    void protocolWritten(int, int) override {}
    bool rehearsing() const override { return true; }
};

} // namespace

ScenarioRunner::ScenarioRunner(ModuleSession &moduleSession, QObject *parent)
    : QObject(parent), session(moduleSession)
{
    qRegisterMetaType<Scenario>();
    qRegisterMetaType<ScenarioProgress>();
    qRegisterMetaType<ScenarioOutcome>();
}

QString ScenarioRunner::name(Scenario scenario)
{
    return QCoreApplication::translate("ScenarioRunner", entry(scenario).name);
}

QString ScenarioRunner::message(Scenario scenario, ScenarioFailure failure)
{
    const bool calibration = scenario == Scenario::AutoCalibration;
    for (const ScenarioMessage &message : scenarioMessages) {
        const char *text = calibration ? message.calibration : message.verification;
        if (message.failure == failure && text)
            return QCoreApplication::translate("ScenarioRunner", text);
    }
    return QString();
}

namespace {
// Minutes and seconds, "m:ss"; longer runs count on in minutes.
QString duration(qint64 ms)
{
    const qint64 seconds = (ms + 500) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

QString ScenarioRunner::progressText(const ScenarioProgress &progress)
{
    QString text = name(progress.scenario);
    if (progress.points > 0)
        text += QCoreApplication::translate("ScenarioRunner", ": точка %1 из %2")
                    .arg(progress.point)
                    .arg(progress.points);
    return text + QCoreApplication::translate("ScenarioRunner", ", прошло %1, осталось около %2")
                      .arg(duration(progress.elapsedMs), duration(progress.remainingMs));
}

QString ScenarioRunner::outcomeText(const ScenarioOutcome &outcome)
{
    if (outcome.failure != ScenarioFailure::None)
        return outcome.message;
    if (outcome.fName.isEmpty())
        return QCoreApplication::translate("ScenarioRunner", "выполнена");
    if (outcome.failing == 0)
        return QCoreApplication::translate("ScenarioRunner", "все точки \"норма\"");
    return QCoreApplication::translate("ScenarioRunner", "\"не норма\": %1 из %2 точек")
        .arg(outcome.failing)
        .arg(outcome.points);
}

ScenarioResult ScenarioRunner::result(const ScenarioOutcome &outcome)
{
    switch (outcome.failure) {
    case ScenarioFailure::None:
        return outcome.failing == 0 ? ScenarioResult::Pass : ScenarioResult::Fail;
    case ScenarioFailure::Stopped:
        return ScenarioResult::Stopped;
    case ScenarioFailure::ReportFile:
    case ScenarioFailure::MultimeterCannotOpen:
    case ScenarioFailure::LoadCannotOpen:
    case ScenarioFailure::InstrumentsMissing:
    case ScenarioFailure::ReferenceNotFollowing:
        return ScenarioResult::Setup;
    case ScenarioFailure::MultimeterLinkBroken:
    case ScenarioFailure::LoadLinkBroken:
    case ScenarioFailure::ModuleLinkBroken:
        break;
    }
    return ScenarioResult::Error;
}

QStringList ScenarioRunner::existingProtocols(const QVector<ScenarioChoice> &chosen)
{
    QStringList existing;
    for (const ScenarioChoice &choice : chosen) {
        const QFileInfo file(choice.fName);
        if (entry(choice.scenario).verify && file.isFile() && file.size() > 0)
            existing.append(choice.fName);
    }
    return existing;
}

bool ScenarioRunner::valid(const QVector<ScenarioChoice> &chosen)
{
    ScenarioSelection selection;
    for (const ScenarioChoice &choice : chosen)
        if (entry(choice.scenario).verify)
            selection.add(true, choice.fName);
    return selection.valid();
}

QVector<ScenarioOutcome> ScenarioRunner::run(QVector<ScenarioChoice> chosen)
{
    std::stable_sort(
        chosen.begin(), chosen.end(),
        [](const ScenarioChoice &a, const ScenarioChoice &b) { return a.scenario < b.scenario; });
    QVector<ScenarioOutcome> outcomes;
    const auto stopRequested = [this] { return stopping.load(); };
    for (int i = 0; i < chosen.size() && !stopping; ++i) {
        const ScenarioChoice &choice = chosen.at(i);
        emit scenarioStarted(i + 1, chosen.size(), choice.scenario);
        ScenarioOutcome ended;
        ended.scenario = choice.scenario;
        ended.fName = choice.fName;
        outcome = &ended;
        ended.started = TimeFacility::instance().currentDateTime().toUTC();
        ended.failure = runOne(choice);
        ended.ended = TimeFacility::instance().currentDateTime().toUTC();
        outcome = nullptr;
        ended.message = message(choice.scenario, ended.failure);
        outcomes.append(ended);
        emit scenarioEnded(i + 1, chosen.size(), ended);
        if (ended.failure != ScenarioFailure::Stopped)
            TimeFacility::instance().pause(betweenScenariosMs, stopRequested);
    }
    return outcomes;
}

ScenarioFailure ScenarioRunner::runOne(const ScenarioChoice &choice)
{
    prescribedMs = rehearse(choice);
    pausedMs = 0;
    startedAt = TimeFacility::instance().elapsedMs();
    current = ScenarioProgress();
    current.scenario = choice.scenario;
    report(true);
    return perform(session, choice, &follower);
}

ScenarioFailure ScenarioRunner::perform(ModuleSession &session, const ScenarioChoice &choice,
                                        ScenarioMonitor *monitor)
{
    const Verification verify = entry(choice.scenario).verify;
    return verify ? verify(session, choice.fName, monitor) : AutoCalibration::run(session, monitor);
}

qint64 ScenarioRunner::rehearse(const ScenarioChoice &choice)
{
    Rehearsal rehearsal;
    perform(session, choice, &rehearsal);
    return rehearsal.total;
}

void ScenarioRunner::report(bool pointStarted)
{
    current.elapsedMs = TimeFacility::instance().elapsedMs() - startedAt;
    current.remainingMs = std::max<qint64>(0, prescribedMs - pausedMs);
    current.pointStarted = pointStarted;
    emit progressed(current);
}

void ScenarioRunner::Follower::pointStarted(int k, int n)
{
    runner.current.point = k;
    runner.current.points = n;
    runner.report(true);
}

void ScenarioRunner::Follower::pausing(int ms)
{
    runner.report(false);
    runner.pausedMs += ms;
}

void ScenarioRunner::Follower::protocolWritten(int points, int failing)
{
    if (runner.outcome) {
        runner.outcome->points = points;
        runner.outcome->failing = failing;
    }
}

void ScenarioRunner::Follower::instrumentsFound(const BenchPort &multimeter, const BenchPort &load)
{
    if (runner.outcome) {
        runner.outcome->multimeter = multimeter;
        runner.outcome->load = load;
    }
}

void ScenarioRunner::Follower::pointsMeasured(const QVector<QStringList> &rows,
                                              const QString &identity)
{
    if (runner.outcome) {
        runner.outcome->rows = rows;
        runner.outcome->identity = identity;
    }
}
