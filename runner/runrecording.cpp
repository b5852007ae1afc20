#include "runrecording.h"

#include "timefacility.h"

namespace {
const QString requireRecordOption = QStringLiteral("require-record");
const QString requireReferencesOption = QStringLiteral("require-references");
} // namespace

void RunRecording::addOptions(QCommandLineParser &parser)
{
    parser.addOption(
        {requireRecordOption, QStringLiteral("exit status 2 when a record could not be stored")});
    parser.addOption(
        {requireReferencesOption, QStringLiteral("refuse a run whose reference instruments are not "
                                                 "registered or past their due date")});
}

RunRecording::RunRecording(const QCommandLineParser &parser, const QString &resource,
                           QTextStream &messages)
    : recorder(resource), err(messages), requireRecord(parser.isSet(requireRecordOption)),
      requireReferences(parser.isSet(requireReferencesOption))
{
}

bool RunRecording::beforeRun(const QVector<ScenarioChoice> &chosen)
{
    if (!recorder.registerPresent() && !requireReferences)
        return true;
    const QDate today = TimeFacility::instance().currentDateTime().toUTC().date();
    QStringList warnings = recorder.referenceWarnings(chosen, today);
    if (!recorder.registerPresent())
        warnings.prepend(QStringLiteral("реестр эталонов не найден: ") +
                         ReferenceRegister::defaultPath());
    for (const QString &warning : warnings)
        err << "voltadesk-run: " << warning << '\n';
    err.flush();
    return warnings.isEmpty() || !requireReferences;
}

std::optional<qint64> RunRecording::record(const ScenarioOutcome &outcome)
{
    const qint64 id = recorder.record(outcome);
    if (id > 0)
        return id;
    err << QStringLiteral("voltadesk-run: результат не сохранён в хранилище: ")
        << recorder.failure() << '\n';
    err.flush();
    return std::nullopt;
}
