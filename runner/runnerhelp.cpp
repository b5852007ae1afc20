#include "runnerhelp.h"

#include "scenariorunner.h"

#include <QCoreApplication>

namespace {

QString translated(const char *text)
{
    return QCoreApplication::translate("RunnerHelp", text);
}

// The procedures as the runner takes them, in the order it runs them.
struct ProcedureOption
{
    const char *option;
    Scenario scenario;
};

const ProcedureOption procedures[] = {
    {"--autocal", Scenario::AutoCalibration},
    {QT_TRANSLATE_NOOP("RunnerHelp", "--vdc ФАЙЛ"), Scenario::Vdc},
    {QT_TRANSLATE_NOOP("RunnerHelp", "--vdcn ФАЙЛ"), Scenario::VdcCurr},
    {QT_TRANSLATE_NOOP("RunnerHelp", "--vac ФАЙЛ"), Scenario::VacCurr},
    {QT_TRANSLATE_NOOP("RunnerHelp", "--idc ФАЙЛ"), Scenario::Idc},
    {QT_TRANSLATE_NOOP("RunnerHelp", "--idcn ФАЙЛ"), Scenario::IdcN},
    {QT_TRANSLATE_NOOP("RunnerHelp", "--iac ФАЙЛ"), Scenario::Iac},
};

struct OtherOption
{
    const char *option;
    const char *meaning;
};

const OtherOption otherOptions[] = {
    {QT_TRANSLATE_NOOP("RunnerHelp", "--multimeter ПОРТ"),
     QT_TRANSLATE_NOOP("RunnerHelp", "последовательный порт мультиметра, например /dev/ttyACM0, "
                                     "вместо поиска по его строкам USB")},
    {QT_TRANSLATE_NOOP("RunnerHelp", "--load ПОРТ"),
     QT_TRANSLATE_NOOP("RunnerHelp", "последовательный порт нагрузки электронной")},
    {"--json", QT_TRANSLATE_NOOP("RunnerHelp", "результаты строками JSON, с полем result: pass, "
                                               "fail, setup, stopped или error")},
    {"--overwrite", QT_TRANSLATE_NOOP("RunnerHelp", "заменять уже существующие протоколы")},
    {"--require-record",
     QT_TRANSLATE_NOOP("RunnerHelp", "результат, не сохранённый в хранилище, - код 2")},
    {"--require-references",
     QT_TRANSLATE_NOOP("RunnerHelp", "не выполнять процедуры, если приборы стенда не "
                                     "подтверждены реестром эталонов (код 2)")},
    {"-h, --help", QT_TRANSLATE_NOOP("RunnerHelp", "показать эту справку и выйти")},
    {"-v, --version", QT_TRANSLATE_NOOP("RunnerHelp", "показать версию и выйти")},
};

constexpr int optionColumn = 22;

QString row(const QString &option, const QString &meaning)
{
    return QStringLiteral("  ") + option.leftJustified(optionColumn - 3) + QLatin1Char(' ') +
           meaning + QLatin1Char('\n');
}

} // namespace

QString RunnerHelp::text()
{
    // help2man reads the English layout: "Usage:", then sections of indented options.
    QString help = QCoreApplication::translate(
        "RunnerHelp", "Использование: voltadesk-run list [--json]\n"
                      "  или: voltadesk-run РЕСУРС ПРОЦЕДУРА... [ПАРАМЕТР...]\n"
                      "Проводит процедуры калибровки и поверки модуля питания RVKA5630 без "
                      "окна программы, для испытательных стендов, которые запускают их из "
                      "сценариев.\n\n"
                      "  list                  перечислить найденные модули: ресурс, "
                      "идентификация и размещение\n"
                      "  РЕСУРС                VISA-ресурс модуля, например "
                      "TCPIP0::192.168.1.20::inst0::INSTR\n"
                      "  results               записи хранилища результатов (см. README, "
                      "раздел Results)\n\n"
                      "Процедуры, выполняются в этом порядке; ФАЙЛ - протокол:\n");
    for (const ProcedureOption &procedure : procedures)
        help += row(translated(procedure.option), ScenarioRunner::name(procedure.scenario));
    help += QCoreApplication::translate("RunnerHelp", "\nПараметры:\n");
    for (const OtherOption &option : otherOptions)
        help += row(translated(option.option), translated(option.meaning));
    help += QCoreApplication::translate(
        "RunnerHelp",
        "\nОкружение:\n"
        "  VOLTADESK_SERIAL_PORTS  порты, которых нет в списке системы, записями "
        "\"путь|изготовитель|описание\" через \";\"\n"
        "  VDVISA_RESOURCES      ресурсы для поиска помимо широковещательного запроса, "
        "через \";\"\n"
        "  VOLTADESK_LANG        \"ru\" или \"en\": язык сообщений (протоколы "
        "остаются на русском)\n\n"
        "Код завершения:\n"
        "  0  все точки всех процедур в норме (и калибровка выполнена)\n"
        "  1  есть точки \"не норма\"\n"
        "  2  процедура не выполнена или остановлена, либо параметры не задают запуска\n"
        "  3  list не нашёл ни одного модуля\n"
        "SIGINT и SIGTERM безопасно останавливают идущую процедуру.\n");
    return help;
}

QString RunnerHelp::version(const QString &number)
{
    return QStringLiteral("voltadesk-run ") + number + QLatin1Char('\n');
}
