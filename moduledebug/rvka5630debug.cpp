#include "rvka5630debug.h"

#include "benchinstruments.h"
#include "commandchain.h"
#include "delayms.h"
#include "iomonitor.h"
#include "modulesession.h"
#include "resultshistory.h"
#include "resultsrecorder.h"
#include "savefiledialog.h"
#include "scenariofailure.h"
#include "scenariorecord.h"
#include "scenariorunner.h"
#include "scenariosummary.h"
#include "timefacility.h"
#include "ui_rvka5630debug.h"

#include <QCloseEvent>
#include <QDebug>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <cmath>

namespace {

constexpr int pollIntervalMs = 250;
// The instruments and the module get a second after the last scenario.
constexpr int betweenScenariosMs = 1000;
// The module keeps the regulator gains as integers in thousandths.
constexpr double gainScale = 1000.0;

const QString lampOn = QStringLiteral("background-color: rgb(0, 255, 0);");
const QString lampOff = QStringLiteral("background-color: rgb(244, 244, 244);");

// Every pin and code travels as a "%d" integer; the codes are unsigned 32-bit numbers.
using ShowValue = void (*)(Ui::Rvka5630Debug &, quint32);

struct PinOrCode
{
    const char *query;
    ShowValue show;
};

void showLamp(QPushButton *lamp, quint32 value)
{
    lamp->setStyleSheet(value != 0 ? lampOn : lampOff);
}

void showCode(QLabel *label, quint32 value)
{
    label->setText(QString::number(value));
}

const PinOrCode settableValues[] = {
    {"PIN:ADGCTR?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { ui.cbAdgCtr->setChecked(v != 0); }},
    {"PIN:OUTRELE?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { ui.cbOutRele->setChecked(v != 0); }},
    {"PIN:ULPISTP?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { ui.cbUlpiStp->setChecked(v != 0); }},
    {"CODE:IBALDACONE?\n",
     [](Ui::Rvka5630Debug &ui, quint32 v) { ui.sbIbaldac1->setValue(int(v)); }},
    {"CODE:PWMVALUE?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { ui.sbPwmMax->setValue(int(v)); }},
    {"CODE:PWMP?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { ui.dsbKp->setValue(v / gainScale); }},
    {"CODE:PWMI?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { ui.dsbKi->setValue(v / gainScale); }},
    {"CODE:PWMD?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { ui.dsbKd->setValue(v / gainScale); }},
};

const PinOrCode polledValues[] = {
    {"PIN:OVVOUT?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { showLamp(ui.led_OVV_OUT, v); }},
    {"PIN:CVCTR?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { showLamp(ui.led_CV_CTR, v); }},
    {"PIN:CCCTR?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { showLamp(ui.led_CC_CTR, v); }},
    {"PIN:TTFOVC?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { showLamp(ui.led_TTF_OVC, v); }},
    {"PIN:OCP?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { showLamp(ui.led_OCP, v); }},
    {"CODE:VDROP?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { showCode(ui.lblVdrop, v); }},
    {"CODE:IBAL?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { showCode(ui.lblIbal, v); }},
    {"CODE:FBVDROP?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { showCode(ui.lblVdrop334, v); }},
    {"CODE:FBVNS?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { showCode(ui.lblVns334, v); }},
    {"OUTP:PROT:IGNORE?\n", [](Ui::Rvka5630Debug &ui, quint32 v) { showCode(ui.lblSelfTest, v); }},
};

// Queries the values in order, showing each before asking for the next; stops at the first
// failure. True when all were read.
template <std::size_t N>
bool readInto(ModuleSession &session, Ui::Rvka5630Debug &ui, const PinOrCode (&values)[N])
{
    CommandChain chain(session);
    for (const PinOrCode &entry : values) {
        ViInt32 value = 0;
        if (!chain.query(entry.query, "%d", &value).ok())
            break;
        entry.show(ui, quint32(value));
    }
    return chain.ok();
}

// The "%hd" field of a 16-bit code: 32768..65535 go out as their two's-complement negatives.
short asCodeField(int code)
{
    return short(quint16(code));
}

// Gains are shown with three decimals; rounding keeps 0.57 from going out as 569 thousandths.
int thousandths(double gain)
{
    return int(std::lround(gain * gainScale));
}

} // namespace

Rvka5630Debug::Rvka5630Debug(ModuleSession &panelSession, QWidget *parent)
    : QWidget(parent), ui(new Ui::Rvka5630Debug), session(&panelSession)
{
    ui->setupUi(this);
}

void Rvka5630Debug::start()
{
    settableDataUpdate();
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &Rvka5630Debug::gettableDataUpdate);
    timer->start(pollIntervalMs);
}

Rvka5630Debug::~Rvka5630Debug()
{
    qDebug() << "~Direrure5630Debug";
    delete ui;
}

void Rvka5630Debug::settableDataUpdate()
{
    if (session && !readInto(*session, *ui, settableValues))
        emit debugDisconnectDevice();
}

void Rvka5630Debug::gettableDataUpdate()
{
    if (!isVisible() || !isEnabled() || !session)
        return;
    if (!readInto(*session, *ui, polledValues))
        emit debugDisconnectDevice();
}

void Rvka5630Debug::sendCode(const char *format, int value)
{
    if (session && !CommandChain(*session).command(format, asCodeField(value)).ok())
        emit debugDisconnectDevice();
}

void Rvka5630Debug::on_cbOutRele_clicked(bool checked)
{
    sendCode("PIN:OUTRELE %hd\n", checked ? 1 : 0);
}

void Rvka5630Debug::on_cbAdgCtr_clicked(bool checked)
{
    sendCode("PIN:ADGCTR %hd\n", checked ? 1 : 0);
}

void Rvka5630Debug::on_cbUlpiStp_clicked(bool checked)
{
    sendCode("PIN:ULPISTP %hd\n", checked ? 1 : 0);
}

void Rvka5630Debug::on_ibaldacButton_clicked()
{
    sendCode("CODE:IBALDACONE %hd\n", ui->sbIbaldac1->value());
}

void Rvka5630Debug::on_pwmMaxButton_clicked()
{
    sendCode("CODE:PWMVALUE %hd\n", ui->sbPwmMax->value());
}

void Rvka5630Debug::on_pidButton_clicked()
{
    if (!session)
        return;
    CommandChain chain(*session);
    chain.command("CODE:PWMP %hd;PWMI %hd;PWMD %hd\n", asCodeField(thousandths(ui->dsbKp->value())),
                  asCodeField(thousandths(ui->dsbKi->value())),
                  asCodeField(thousandths(ui->dsbKd->value())));
    if (!chain.ok())
        emit debugDisconnectDevice();
}

void Rvka5630Debug::on_ioMonitorButton_clicked()
{
    if (!ioMonitor)
        ioMonitor = new IoMonitor(this);
    ioMonitor->show();
    ioMonitor->raise();
    ioMonitor->activateWindow();
}

void Rvka5630Debug::on_historyButton_clicked()
{
    if (!history)
        history = new ResultsHistory(this);
    history->load(ScenarioRecord::serialOf(moduleIdentity),
                  session ? session->resource() : QString());
    history->show();
    history->raise();
    history->activateWindow();
}

void Rvka5630Debug::on_addHwCheckButton_clicked()
{
    const BenchInstruments::Availability found = BenchInstruments::availability();
    QString report = found.multimeter ? tr("Мультиметр найден.\n") : tr("Мультиметр не найден!\n");
    report +=
        found.load ? tr("Нагрузка электронная найдена.") : tr("Нагрузка электронная не найдена!");
    QMessageBox::information(this, tr("Проверка доступности дополнительного оборудования"), report);
}

void Rvka5630Debug::reportScenario(Scenario scenario, ScenarioFailure failure)
{
    // A stop is the operator's own doing: the summary tells of it, no error box.
    const QString message = ScenarioRunner::message(scenario, failure);
    if (!message.isEmpty() && failure != ScenarioFailure::Stopped)
        QMessageBox::critical(this, tr("Ошибка"), message);
    if (failure == ScenarioFailure::ModuleLinkBroken)
        emit debugDisconnectDevice();
}

void Rvka5630Debug::runScenario(Scenario scenario, const QString &fName)
{
    if (session)
        reportScenario(scenario, ScenarioRunner::perform(*session, {scenario, fName}));
}

void Rvka5630Debug::autoCalib()
{
    runScenario(Scenario::AutoCalibration, QString());
}

void Rvka5630Debug::check_vdc(const QString &fName)
{
    runScenario(Scenario::Vdc, fName);
}

void Rvka5630Debug::check_vdcCurr(const QString &fName)
{
    runScenario(Scenario::VdcCurr, fName);
}

void Rvka5630Debug::check_vacCurr(const QString &fName)
{
    runScenario(Scenario::VacCurr, fName);
}

void Rvka5630Debug::check_idc(const QString &fName)
{
    runScenario(Scenario::Idc, fName);
}

void Rvka5630Debug::check_idcN(const QString &fName)
{
    runScenario(Scenario::IdcN, fName);
}

void Rvka5630Debug::check_iac(const QString &fName)
{
    runScenario(Scenario::Iac, fName);
}

// The field takes whatever the dialog returns: cancelling empties it.
void Rvka5630Debug::choosePath(QLineEdit *field)
{
    field->setText(SaveFileDialog::fileName(this, tr("Сохранить отчет"), QString(),
                                            tr("HTML страница (*.html)")));
}

void Rvka5630Debug::promptForPath(bool checked, QLineEdit *field)
{
    if (checked && field->text().isEmpty())
        choosePath(field);
}

void Rvka5630Debug::on_vdcPathButton_clicked()
{
    choosePath(ui->leVdc);
}

void Rvka5630Debug::on_vdcCurrPathButton_clicked()
{
    choosePath(ui->leVdcCurr);
}

void Rvka5630Debug::on_vacCurrPathButton_clicked()
{
    choosePath(ui->leVacCurr);
}

void Rvka5630Debug::on_idcPathButton_clicked()
{
    choosePath(ui->leIdc);
}

void Rvka5630Debug::on_idcNPathButton_clicked()
{
    choosePath(ui->leIdcN);
}

void Rvka5630Debug::on_iacPathButton_clicked()
{
    choosePath(ui->leIac);
}

void Rvka5630Debug::on_cbVdc_clicked(bool checked)
{
    promptForPath(checked, ui->leVdc);
}

void Rvka5630Debug::on_cbVdcCurr_clicked(bool checked)
{
    promptForPath(checked, ui->leVdcCurr);
}

void Rvka5630Debug::on_cbVacCurr_clicked(bool checked)
{
    promptForPath(checked, ui->leVacCurr);
}

void Rvka5630Debug::on_cbIdc_clicked(bool checked)
{
    promptForPath(checked, ui->leIdc);
}

void Rvka5630Debug::on_cbIdcN_clicked(bool checked)
{
    promptForPath(checked, ui->leIdcN);
}

void Rvka5630Debug::on_cbIac_clicked(bool checked)
{
    promptForPath(checked, ui->leIac);
}

void Rvka5630Debug::setPanelsEnabled(bool enabled)
{
    if (!enabled)
        emit scenariosRunning(true);
    setEnabled(enabled);
    if (enabled)
        emit scenariosRunning(false);
}

bool Rvka5630Debug::replacingAgreed(const QStringList &existing)
{
    if (existing.isEmpty())
        return true;
    QMessageBox question(QMessageBox::Question, tr("Метрология"),
                         tr("Эти протоколы уже существуют и будут заменены:\n%1\n\nЗаменить их?")
                             .arg(existing.join(QLatin1Char('\n'))),
                         QMessageBox::Yes | QMessageBox::No, this);
    question.button(QMessageBox::Yes)->setText(tr("Да"));
    question.button(QMessageBox::No)->setText(tr("Нет"));
    question.setDefaultButton(QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}

void Rvka5630Debug::on_runScriptsButton_clicked()
{
    struct Box
    {
        QCheckBox *box;
        QLineEdit *path; // none for the calibration
        Scenario scenario;
    };
    const Box boxes[] = {
        {ui->cbAutoCalib, nullptr, Scenario::AutoCalibration},
        {ui->cbVdc, ui->leVdc, Scenario::Vdc},
        {ui->cbVdcCurr, ui->leVdcCurr, Scenario::VdcCurr},
        {ui->cbVacCurr, ui->leVacCurr, Scenario::VacCurr},
        {ui->cbIdc, ui->leIdc, Scenario::Idc},
        {ui->cbIdcN, ui->leIdcN, Scenario::IdcN},
        {ui->cbIac, ui->leIac, Scenario::Iac},
    };
    // The selection as it stands now; the widgets are locked from here to the end.
    QVector<ScenarioChoice> chosen;
    for (const Box &box : boxes)
        if (box.box->isChecked())
            chosen.append({box.scenario, box.path ? box.path->text() : QString()});
    if (!ScenarioRunner::valid(chosen)) {
        QMessageBox::critical(this, tr("Ошибка"), tr("Поля заполнены неверно!"));
        return;
    }
    if (!session)
        return;
    // Protocols are written from the start of their procedure on: one asked for at the path of
    // an earlier protocol would replace it even if the run were stopped at once.
    if (!replacingAgreed(ScenarioRunner::existingProtocols(chosen)))
        return;
    ResultsRecorder recorder(session->resource());
    recorder.setIdentity(moduleIdentity);
    const QStringList warnings =
        recorder.registerPresent()
            ? recorder.referenceWarnings(chosen,
                                         TimeFacility::instance().currentDateTime().toUTC().date())
            : QStringList();
    if (!warnings.isEmpty() &&
        QMessageBox::question(this, tr("Эталонные средства измерений"),
                              tr("Реестр эталонов не подтверждает приборы стенда:\n%1\n\n"
                                 "Выполнить процедуры всё равно?")
                                  .arg(warnings.join(QLatin1Char('\n')))) != QMessageBox::Yes)
        return;
    QStringList notRecorded;

    // Disabled, the panels' polls leave the shared session to the scenarios. A scenario that
    // loses the module makes the main window take the panels down, but their deletion waits
    // until this slot has returned to the main event loop.
    for (ScenarioSummary *earlier : findChildren<ScenarioSummary *>())
        earlier->close();
    setPanelsEnabled(false);
    ScenarioRunner runner(*session);
    QProgressDialog progress(tr("Ожидание выполнения программы..."), tr("Стоп"), 0,
                             2 * chosen.size(), this);
    progress.setWindowModality(Qt::WindowModal);
    // The last value stays shown through the final pause, and an empty run shows 0 of 0.
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    // The display stays up while the stopped scenario winds down; the dialog joins the two by
    // name, so only a disconnect by name parts them.
    disconnect(&progress, SIGNAL(canceled()), &progress, SLOT(cancel()));
    connect(&progress, &QProgressDialog::canceled, &runner, &ScenarioRunner::requestStop);
    connect(&runner, &ScenarioRunner::scenarioStarted, &progress,
            [&progress](int k) { progress.setValue(2 * k - 1); });
    connect(&runner, &ScenarioRunner::progressed, &progress,
            [&progress](const ScenarioProgress &now) {
                progress.setLabelText(tr("Ожидание выполнения программы...") + QLatin1Char('\n') +
                                      ScenarioRunner::progressText(now));
            });
    connect(&runner, &ScenarioRunner::scenarioEnded, this,
            [this, &progress, &recorder, &notRecorded](int k, int, const ScenarioOutcome &outcome) {
                if (recorder.record(outcome) == 0)
                    notRecorded.append(ScenarioRunner::name(outcome.scenario) +
                                       QStringLiteral(": ") + recorder.failure());
                if (!outcome.identity.isEmpty())
                    moduleIdentity = outcome.identity;
                reportScenario(outcome.scenario, outcome.failure);
                progress.setValue(2 * k);
            });
    progress.show();
    const QVector<ScenarioOutcome> outcomes = runner.run(chosen);
    progress.close();
    delayMs(betweenScenariosMs);
    setPanelsEnabled(true);
    if (!outcomes.isEmpty())
        (new ScenarioSummary(outcomes, this))->show();
    // The procedures and their protocols stand; only the record is missing.
    if (!notRecorded.isEmpty())
        QMessageBox::warning(
            this, tr("Хранилище результатов"),
            tr("Результат не сохранён в хранилище:\n%1").arg(notRecorded.join(QLatin1Char('\n'))));
}

void Rvka5630Debug::closeEvent(QCloseEvent *event)
{
    hide();
    event->ignore();
}
