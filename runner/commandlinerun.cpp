#include "commandlinerun.h"

#include "benchports.h"
#include "instrumentprobe.h"
#include "modulesession.h"
#include "modulethread.h"
#include "resultscommand.h"
#include "runrecording.h"
#include "scenariorunner.h"
#include "stopsignals.h"

#include <visa.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <memory>
#include <optional>

namespace {

// The module's link gets as long to come up as in the panel.
constexpr ViUInt32 openTimeoutMs = 1000;

// The scenario options in the runner's fixed order; each key also names its result line.
struct ScenarioOption
{
    const char *key;
    Scenario scenario;
    bool protocol; // takes the protocol's path
};

const ScenarioOption scenarioOptions[] = {
    {"autocal", Scenario::AutoCalibration, false},
    {"vdc", Scenario::Vdc, true},
    {"vdcn", Scenario::VdcCurr, true},
    {"vac", Scenario::VacCurr, true},
    {"idc", Scenario::Idc, true},
    {"idcn", Scenario::IdcN, true},
    {"iac", Scenario::Iac, true},
};

QString key(Scenario scenario)
{
    for (const ScenarioOption &option : scenarioOptions)
        if (option.scenario == scenario)
            return QLatin1String(option.key);
    return QString();
}

const QString listCommand = QStringLiteral("list");

// The machine-readable result of a scenario's line: fixed words, whatever the texts say.
QString resultKey(const ScenarioOutcome &outcome)
{
    switch (ScenarioRunner::result(outcome)) {
    case ScenarioResult::Pass:
        return QStringLiteral("pass");
    case ScenarioResult::Fail:
        return QStringLiteral("fail");
    case ScenarioResult::Setup:
        return QStringLiteral("setup");
    case ScenarioResult::Stopped:
        return QStringLiteral("stopped");
    case ScenarioResult::Error:
        break;
    }
    return QStringLiteral("error");
}

// The verdict word of a scenario's result line.
QString verdict(const ScenarioOutcome &outcome)
{
    switch (outcome.failure) {
    case ScenarioFailure::None:
        break;
    case ScenarioFailure::Stopped:
        return QStringLiteral("остановлена");
    default:
        return QStringLiteral("ошибка");
    }
    if (!outcome.protocolWritten())
        return QStringLiteral("выполнена");
    return outcome.failing == 0 ? QStringLiteral("норма") : QStringLiteral("не норма");
}

class Invocation
{
public:
    Invocation(QTextStream &output, QTextStream &messages, bool onTerminal)
        : out(output), err(messages), terminal(onTerminal)
    {
    }

    int run(const QStringList &arguments);

private:
    void defineOptions();
    int fail(const QString &message);
    int list(ViSession resourceManager);
    int runScenarios(ViSession resourceManager, const QString &resource,
                     const QVector<ScenarioChoice> &chosen);
    int refuseReplacing(const QVector<ScenarioChoice> &chosen);
    // The module's identity; none (and the reason told) for anything but an RVKA5630.
    std::optional<QString> moduleIdentity(ModuleSession &session);
    void showProgress(const ScenarioProgress &progress);
    void endProgressLine();
    void showOutcome(const ScenarioOutcome &outcome, const std::optional<qint64> &recordId);
    void print(const QJsonObject &object);

    QTextStream &out;
    QTextStream &err;
    const bool terminal;
    QCommandLineParser parser;
    bool json = false;
    bool progressLineOpen = false;
};

void Invocation::defineOptions()
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addPositionalArgument(QStringLiteral("RESOURCE"),
                                 QStringLiteral("the module's VISA resource, or \"list\""));
    for (const ScenarioOption &option : scenarioOptions) {
        const QString name = ScenarioRunner::name(option.scenario);
        parser.addOption(option.protocol ? QCommandLineOption(QLatin1String(option.key), name,
                                                              QStringLiteral("FILE"))
                                         : QCommandLineOption(QLatin1String(option.key), name));
    }
    parser.addOption({QStringLiteral("multimeter"), QStringLiteral("the multimeter's serial port"),
                      QStringLiteral("PORT")});
    parser.addOption({QStringLiteral("load"), QStringLiteral("the electronic load's serial port"),
                      QStringLiteral("PORT")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("results as JSON lines")});
    parser.addOption(
        {QStringLiteral("overwrite"), QStringLiteral("replace protocols that exist already")});
    RunRecording::addOptions(parser);
}

int Invocation::fail(const QString &message)
{
    endProgressLine();
    err << "voltadesk-run: " << message << '\n';
    err.flush();
    return CommandLineRun::NotRun;
}

int Invocation::run(const QStringList &arguments)
{
    defineOptions();
    if (!parser.parse(QStringList{QStringLiteral("voltadesk-run")} + arguments))
        return fail(parser.errorText());
    json = parser.isSet(QStringLiteral("json"));
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return fail(
            QCoreApplication::translate("CommandLineRun", "укажите ресурс модуля или \"list\"\n") +
            parser.helpText());

    QVector<ScenarioChoice> chosen;
    for (const ScenarioOption &option : scenarioOptions)
        if (parser.isSet(QLatin1String(option.key)))
            chosen.append({option.scenario,
                           option.protocol ? parser.value(QLatin1String(option.key)) : QString()});
    const bool listing = positional.first() == listCommand;
    if (!listing && chosen.isEmpty())
        return fail(QCoreApplication::translate("CommandLineRun", "не выбрана ни одна процедура"));
    if (!ScenarioRunner::valid(chosen))
        return fail(QCoreApplication::translate(
            "CommandLineRun", "пути протоколов должны быть заданы и различаться"));
    if (!listing && !parser.isSet(QStringLiteral("overwrite")))
        if (const int refused = refuseReplacing(chosen))
            return refused;
    BenchPorts::pin(BenchInstrument::Multimeter, parser.value(QStringLiteral("multimeter")));
    BenchPorts::pin(BenchInstrument::Load, parser.value(QStringLiteral("load")));

    ViSession resourceManager = VI_NULL;
    if (viOpenDefaultRM(&resourceManager) != VI_SUCCESS)
        return fail(QCoreApplication::translate("CommandLineRun",
                                                "Не удалось создать общую структуру VISA!"));
    const int status =
        listing ? list(resourceManager) : runScenarios(resourceManager, positional.first(), chosen);
    viClose(resourceManager);
    return status;
}

int Invocation::list(ViSession resourceManager)
{
    const QVector<modRow> rows = InstrumentProbe::run(
        resourceManager, std::make_shared<FindListHandle>(), InstrumentProbe::moduleModel(),
        InstrumentProbe::placementQuery(), InstrumentProbe::placementFormat());
    if (rows.isEmpty()) {
        err << "voltadesk-run: "
            << QCoreApplication::translate(
                   "CommandLineRun",
                   "не найдено ни одного модуля RVKA5630 (проверьте подключение к сети и "
                   "VDVISA_RESOURCES)")
            << '\n';
        err.flush();
        return CommandLineRun::NothingFound;
    }
    for (const modRow &row : rows) {
        if (json)
            print({{QStringLiteral("resource"), row.address},
                   {QStringLiteral("identity"), row.idn},
                   {QStringLiteral("placement"), row.info}});
        else
            out << row.address << '\t' << row.idn << '\t' << row.info << '\n';
    }
    out.flush();
    return CommandLineRun::AllPass;
}

int Invocation::runScenarios(ViSession resourceManager, const QString &resource,
                             const QVector<ScenarioChoice> &chosen)
{
    // The register is read off the serial ports alone: a refused run sends the module nothing.
    RunRecording recording(parser, resource, err);
    if (!recording.beforeRun(chosen))
        return fail(QCoreApplication::translate(
            "CommandLineRun", "эталонные средства измерений не подтверждены реестром"));
    ModuleThread thread;
    ModuleSession &session = thread.session();
    if (session.open(resourceManager, resource, openTimeoutMs) != VI_SUCCESS)
        return fail(resource + QCoreApplication::translate("CommandLineRun",
                                                           ": Не удалось открыть соединение!"));
    const std::optional<QString> identity = moduleIdentity(session);
    if (!identity)
        return CommandLineRun::NotRun;
    // Every record names the module, a calibration run on its own included.
    recording.setIdentity(*identity);
    // The scenarios run on the module's thread; this one keeps its event loop free for the
    // stop signals and prints what comes back.
    ScenarioRunner runner(session);
    StopSignals stops;
    QObject::connect(&stops, &StopSignals::received, &stops, [&runner] { runner.requestStop(); });
    QObject::connect(&runner, &ScenarioRunner::progressed, &stops,
                     [this](const ScenarioProgress &progress) { showProgress(progress); });
    QObject::connect(&runner, &ScenarioRunner::scenarioEnded, &stops,
                     [this, &recording](int, int, const ScenarioOutcome &outcome) {
                         showOutcome(outcome, recording.record(outcome));
                     });
    QVector<ScenarioOutcome> outcomes;
    QEventLoop running;
    thread.run(
        &stops, [&runner, &chosen](ModuleSession &) { return runner.run(chosen); },
        [&outcomes, &running](const QVector<ScenarioOutcome> &ran) {
            outcomes = ran;
            running.quit();
        });
    running.exec();
    endProgressLine();
    session.close();

    bool ranAll = outcomes.size() == chosen.size() && !runner.stopRequested();
    bool allPass = true;
    for (const ScenarioOutcome &outcome : outcomes) {
        ranAll = ranAll && outcome.failure == ScenarioFailure::None;
        allPass = allPass && outcome.failing == 0;
    }
    if (!ranAll)
        return fail(
            runner.stopRequested()
                ? QCoreApplication::translate("CommandLineRun", "остановлено")
                : QCoreApplication::translate("CommandLineRun", "не все процедуры выполнены"));
    if (recording.requiredRecordMissing())
        return fail(QCoreApplication::translate("CommandLineRun",
                                                "не все результаты сохранены в хранилище"));
    return allPass ? CommandLineRun::AllPass : CommandLineRun::PointsFail;
}

// A protocol is written from its procedure's start on, so a run would replace an earlier one
// even if it were stopped at once: that takes --overwrite, and is refused before any
// instrument is touched.
int Invocation::refuseReplacing(const QVector<ScenarioChoice> &chosen)
{
    const QStringList existing = ScenarioRunner::existingProtocols(chosen);
    for (const QString &path : existing)
        err << "voltadesk-run: "
            << QCoreApplication::translate(
                   "CommandLineRun",
                   "протокол %1 уже существует; чтобы заменить его, укажите --overwrite")
                   .arg(path)
            << '\n';
    err.flush();
    return existing.isEmpty() ? CommandLineRun::AllPass : CommandLineRun::NotRun;
}

// The procedures are for the RVKA5630 alone: any other instrument is sent nothing but the
// identification query that discovery sends too.
std::optional<QString> Invocation::moduleIdentity(ModuleSession &session)
{
    QString idn;
    switch (InstrumentProbe::identify(session.vi(), InstrumentProbe::moduleModel(), idn)) {
    case InstrumentProbe::Identity::Module:
        return idn;
    case InstrumentProbe::Identity::OtherModel:
        fail(QCoreApplication::translate("CommandLineRun", "%1 не модуль RVKA5630: %2")
                 .arg(session.resource(), idn));
        break;
    case InstrumentProbe::Identity::NoAnswer:
        fail(QCoreApplication::translate("CommandLineRun", "%1 не отвечает на запрос *IDN?")
                 .arg(session.resource()));
        break;
    }
    return std::nullopt;
}

// On a terminal one line that keeps being rewritten; elsewhere a line at each new point.
void Invocation::showProgress(const ScenarioProgress &progress)
{
    if (terminal) {
        err << "\r\x1b[K" << ScenarioRunner::progressText(progress);
        progressLineOpen = true;
    } else if (progress.pointStarted) {
        err << ScenarioRunner::progressText(progress) << '\n';
    }
    err.flush();
}

void Invocation::endProgressLine()
{
    if (progressLineOpen)
        err << '\n';
    progressLineOpen = false;
}

void Invocation::showOutcome(const ScenarioOutcome &outcome, const std::optional<qint64> &recordId)
{
    endProgressLine();
    if (!outcome.message.isEmpty())
        err << outcome.message << '\n';
    // The bench is searched by its USB strings; one that does not show them is named outright.
    if (outcome.failure == ScenarioFailure::InstrumentsMissing)
        err << QCoreApplication::translate(
                   "CommandLineRun",
                   "voltadesk-run: укажите порты приборов: --multimeter ПОРТ и --load ПОРТ, "
                   "или опишите их в VOLTADESK_SERIAL_PORTS (см. --help)")
            << '\n';
    err.flush();
    const QString protocol = outcome.protocolWritten() ? outcome.fName : QString();
    if (json) {
        QJsonObject line{{QStringLiteral("procedure"), key(outcome.scenario)},
                         {QStringLiteral("result"), resultKey(outcome)},
                         {QStringLiteral("verdict"), verdict(outcome)},
                         {QStringLiteral("protocol"), protocol}};
        if (outcome.protocolWritten()) {
            line.insert(QStringLiteral("points"), outcome.points);
            line.insert(QStringLiteral("failing"), outcome.failing);
        }
        if (!outcome.message.isEmpty())
            line.insert(QStringLiteral("message"), outcome.message);
        line.insert(QStringLiteral("record"),
                    recordId ? QJsonValue(double(*recordId)) : QJsonValue(QJsonValue::Null));
        print(line);
    } else {
        out << key(outcome.scenario) << '\t' << verdict(outcome) << '\t'
            << ScenarioRunner::outcomeText(outcome) << '\t' << protocol << '\n';
    }
    out.flush();
}

void Invocation::print(const QJsonObject &object)
{
    out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << '\n';
}

} // namespace

int CommandLineRun::run(const QStringList &arguments, QTextStream &out, QTextStream &err,
                        bool terminal)
{
    if (arguments.value(0) == ResultsCommand::name)
        return ResultsCommand::run(arguments.mid(1), out, err);
    return Invocation(out, err, terminal).run(arguments);
}
