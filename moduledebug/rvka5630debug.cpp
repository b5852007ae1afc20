#include "rvka5630debug.h"

#include "benchinstruments.h"
#include "commandchain.h"
#include "commandconsole.h"
#include "iomonitor.h"
#include "modaldialog.h"
#include "modulesession.h"
#include "modulethread.h"
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

#include <memory>

#include <cmath>

// One run of the ticked scenarios, shared by its work on the module's thread and by what the
// window shows of it.
struct ScenarioRun
{
    explicit ScenarioRun(ModuleSession &session) : runner(session), recorder(session.resource()) {}

    ScenarioRunner runner;
    ResultsRecorder recorder;
    QStringList notRecorded;
    QPointer<QProgressDialog> progress;
};

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

// What one pass over a table read: the values in table order up to the first failure.
struct Readings
{
    QVector<quint32> values;
    bool ok = false;
};

// Queries the values in order on the module's thread; stops at the first failure.
template <std::size_t N> Readings readValues(ModuleSession &session, const PinOrCode (&values)[N])
{
    Readings read;
    CommandChain chain(session);
    for (const PinOrCode &entry : values) {
        ViInt32 value = 0;
        if (!chain.query(entry.query, "%d", &value).ok())
            break;
        read.values.append(quint32(value));
    }
    read.ok = chain.ok();
    return read;
}

// Shows what was read, in order: the widgets of the values after a failure keep what they had.
template <std::size_t N>
void showReadings(Ui::Rvka5630Debug &ui, const PinOrCode (&values)[N], const Readings &read)
{
    for (int i = 0; i < read.values.size(); ++i)
        values[i].show(ui, read.values.at(i));
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

Rvka5630Debug::Rvka5630Debug(ModuleThread &panelThread, QWidget *parent)
    : QWidget(parent), ui(new Ui::Rvka5630Debug), module(&panelThread)
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
    // A run still under way ends at its next pause; its runner goes with its work.
    if (const std::shared_ptr<ScenarioRun> run = activeRun.lock())
        run->runner.requestStop();
    qDebug() << "~Direrure5630Debug";
    // The monitor is a window of its own (it stays usable while this one is disabled).
    delete ioMonitor.data();
    delete ui;
}

void Rvka5630Debug::settableDataUpdate()
{
    if (!module)
        return;
    module->run(
        this, [](ModuleSession &session) { return readValues(session, settableValues); },
        [this](const Readings &read) {
            showReadings(*ui, settableValues, read);
            if (!read.ok)
                emit debugDisconnectDevice();
        });
}

void Rvka5630Debug::gettableDataUpdate()
{
    // A slow module lowers the read-out rate instead of piling polls up behind each other.
    if (!isVisible() || !isEnabled() || !module || pollUnderWay)
        return;
    pollUnderWay = true;
    module->run(
        this, [](ModuleSession &session) { return readValues(session, polledValues); },
        [this](const Readings &read) {
            pollUnderWay = false;
            showReadings(*ui, polledValues, read);
            if (!read.ok)
                emit debugDisconnectDevice();
        });
}

void Rvka5630Debug::sendCode(const char *format, int value)
{
    sendCommand([format, field = asCodeField(value)](ModuleSession &session) {
        return CommandChain(session).command(format, field).ok();
    });
}

void Rvka5630Debug::sendCommand(std::function<bool(ModuleSession &)> command)
{
    if (!module)
        return;
    module->run(this, std::move(command), [this](bool ok) {
        if (!ok)
            emit debugDisconnectDevice();
    });
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
    sendCommand([kp = asCodeField(thousandths(ui->dsbKp->value())),
                 ki = asCodeField(thousandths(ui->dsbKi->value())),
                 kd = asCodeField(thousandths(ui->dsbKd->value()))](ModuleSession &session) {
        return CommandChain(session).command("CODE:PWMP %hd;PWMI %hd;PWMD %hd\n", kp, ki, kd).ok();
    });
}

void Rvka5630Debug::on_ioMonitorButton_clicked()
{
    if (!ioMonitor)
        ioMonitor = new IoMonitor(this);
    ioMonitor->show();
    ioMonitor->raise();
    ioMonitor->activateWindow();
}

void Rvka5630Debug::on_consoleButton_clicked()
{
    if (!module)
        return;
    if (!console) {
        console = new CommandConsole(*module, this);
        console->setEnabled(consoleAllowed);
        // A lost link ends the panel as every lost link does; a failed call does not.
        connect(console, &CommandConsole::linkLost, this, &Rvka5630Debug::debugDisconnectDevice);
    }
    console->show();
    console->raise();
    console->activateWindow();
}

void Rvka5630Debug::setConsoleAllowed(bool allowed)
{
    consoleAllowed = allowed;
    ui->consoleButton->setEnabled(allowed);
    if (console)
        console->setEnabled(allowed);
}

void Rvka5630Debug::on_historyButton_clicked()
{
    if (!history)
        history = new ResultsHistory(this);
    history->load(ScenarioRecord::serialOf(moduleIdentity),
                  module ? module->session().resource() : QString());
    history->show();
    history->raise();
    history->activateWindow();
}

void Rvka5630Debug::on_addHwCheckButton_clicked()
{
    if (!module)
        return;
    // The search opens the serial ports: it waits for them on the module's thread.
    module->run(
        this, [](ModuleSession &) { return BenchInstruments::availability(); },
        [this](const BenchInstruments::Availability &found) {
            QString report =
                found.multimeter ? tr("Мультиметр найден.\n") : tr("Мультиметр не найден!\n");
            report += found.load ? tr("Нагрузка электронная найдена.")
                                 : tr("Нагрузка электронная не найдена!");
            ModalDialog::open(new QMessageBox(QMessageBox::Information,
                                              tr("Проверка доступности дополнительного оборудования"),
                                              report, QMessageBox::Ok, this),
                              this);
        });
}

void Rvka5630Debug::reportScenarios(const QVector<ScenarioOutcome> &outcomes, Then then)
{
    // A stop is the operator's own doing: the summary tells of it, no error box.
    QStringList messages;
    bool linkBroken = false;
    for (const ScenarioOutcome &outcome : outcomes) {
        const QString message = ScenarioRunner::message(outcome.scenario, outcome.failure);
        if (!message.isEmpty() && outcome.failure != ScenarioFailure::Stopped)
            messages.append(message);
        linkBroken = linkBroken || outcome.failure == ScenarioFailure::ModuleLinkBroken;
    }
    // The boxes one after the other; a lost module is given up once they are read.
    showInTurn(messages, [this, linkBroken, then] {
        if (then)
            then();
        if (linkBroken)
            emit debugDisconnectDevice();
    });
}

void Rvka5630Debug::showInTurn(QStringList messages, Then then)
{
    if (messages.isEmpty()) {
        if (then)
            then();
        return;
    }
    const QString first = messages.takeFirst();
    ModalDialog::open(
        new QMessageBox(QMessageBox::Critical, tr("Ошибка"), first, QMessageBox::Ok, this), this,
        [this, messages, then](int) { showInTurn(messages, then); });
}

void Rvka5630Debug::runScenario(Scenario scenario, const QString &fName)
{
    if (!module)
        return;
    module->run(
        this,
        [choice = ScenarioChoice{scenario, fName}](ModuleSession &session) {
            return ScenarioRunner::perform(session, choice);
        },
        [this, scenario](ScenarioFailure failure) {
            ScenarioOutcome outcome;
            outcome.scenario = scenario;
            outcome.failure = failure;
            reportScenarios({outcome});
        });
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
    SaveFileDialog::ask(this, tr("Сохранить отчет"), QString(), tr("HTML страница (*.html)"), this,
                        [field](const QString &path) { field->setText(path); });
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

// agreed() follows only a yes, or at once when there is nothing to ask.
void Rvka5630Debug::askYes(QMessageBox *question, Then agreed)
{
    if (!question) {
        agreed();
        return;
    }
    ModalDialog::ask(question, this, [agreed](QMessageBox::StandardButton answer) {
        if (answer == QMessageBox::Yes)
            agreed();
    });
}

QMessageBox *Rvka5630Debug::replacingQuestion(const QStringList &existing)
{
    if (existing.isEmpty())
        return nullptr;
    auto *question = new QMessageBox(
        QMessageBox::Question, tr("Метрология"),
        tr("Эти протоколы уже существуют и будут заменены:\n%1\n\nЗаменить их?")
            .arg(existing.join(QLatin1Char('\n'))),
        QMessageBox::Yes | QMessageBox::No, this);
    question->button(QMessageBox::Yes)->setText(tr("Да"));
    question->button(QMessageBox::No)->setText(tr("Нет"));
    question->setDefaultButton(QMessageBox::No);
    return question;
}

QMessageBox *Rvka5630Debug::referenceQuestion(const QStringList &warnings)
{
    if (warnings.isEmpty())
        return nullptr;
    // As QMessageBox::question() asks it.
    auto *question = new QMessageBox(QMessageBox::Question, tr("Эталонные средства измерений"),
                                     tr("Реестр эталонов не подтверждает приборы стенда:\n%1\n\n"
                                        "Выполнить процедуры всё равно?")
                                         .arg(warnings.join(QLatin1Char('\n'))),
                                     QMessageBox::Yes | QMessageBox::No, this);
    return question;
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
        ModalDialog::open(new QMessageBox(QMessageBox::Critical, tr("Ошибка"),
                                          tr("Поля заполнены неверно!"), QMessageBox::Ok, this),
                          this);
        return;
    }
    if (!module)
        return;
    // Protocols are written from the start of their procedure on: one asked for at the path of
    // an earlier protocol would replace it even if the run were stopped at once.
    askYes(replacingQuestion(ScenarioRunner::existingProtocols(chosen)), [this, chosen] {
        if (!module)
            return;
        auto run = std::make_shared<ScenarioRun>(module->session());
        ResultsRecorder &recorder = run->recorder;
        recorder.setIdentity(moduleIdentity);
        const QStringList warnings =
            recorder.registerPresent()
                ? recorder.referenceWarnings(
                      chosen, TimeFacility::instance().currentDateTime().toUTC().date())
                : QStringList();
        askYes(referenceQuestion(warnings), [this, chosen, run] { startScenarios(chosen, run); });
    });
}

void Rvka5630Debug::startScenarios(const QVector<ScenarioChoice> &chosen,
                                   const std::shared_ptr<ScenarioRun> &run)
{
    if (!module)
        return;

    // Disabled, the panels' polls leave the module to the scenarios, which run on the module's
    // thread; this slot returns at once and the run is shown as it comes back.
    for (ScenarioSummary *earlier : findChildren<ScenarioSummary *>())
        earlier->close();
    setPanelsEnabled(false);
    activeRun = run;
    auto *progress = new QProgressDialog(tr("Ожидание выполнения программы..."), tr("Стоп"), 0,
                                         2 * chosen.size(), this);
    run->progress = progress;
    progress->setWindowModality(Qt::WindowModal);
    // The last value stays shown until the run has come back, and an empty run shows 0 of 0.
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setValue(0);
    // The display stays up while the stopped scenario winds down; the dialog joins the two by
    // name, so only a disconnect by name parts them.
    disconnect(progress, SIGNAL(canceled()), progress, SLOT(cancel()));
    ScenarioRunner *runner = &run->runner;
    // The connections hold the run weakly: it goes once its work and what came back are done.
    const std::weak_ptr<ScenarioRun> weakRun = run;
    connect(progress, &QProgressDialog::canceled, this, [weakRun] {
        if (const std::shared_ptr<ScenarioRun> running = weakRun.lock())
            running->runner.requestStop();
    });
    connect(
        runner, &ScenarioRunner::scenarioStarted, progress,
        [progress](int k) { progress->setValue(2 * k - 1); }, Qt::QueuedConnection);
    connect(
        runner, &ScenarioRunner::progressed, progress,
        [progress](const ScenarioProgress &now) {
            progress->setLabelText(tr("Ожидание выполнения программы...") + QLatin1Char('\n') +
                                   ScenarioRunner::progressText(now));
        },
        Qt::QueuedConnection);
    // Each scenario is recorded as it ends, on the module's thread, where nothing waits for
    // the store: recorded here, the store's work would run a loop of its own inside this
    // window's slot, and the next scenario's progress would be shown before this one's end.
    // What was not recorded is read once the run has come back.
    connect(
        runner, &ScenarioRunner::scenarioEnded, runner,
        [weakRun](int, int, const ScenarioOutcome &outcome) {
            const std::shared_ptr<ScenarioRun> run = weakRun.lock();
            if (run && run->recorder.record(outcome) == 0)
                run->notRecorded.append(ScenarioRunner::name(outcome.scenario) +
                                        QStringLiteral(": ") + run->recorder.failure());
        },
        Qt::DirectConnection);
    connect(
        runner, &ScenarioRunner::scenarioEnded, this,
        [this, weakRun](int k, int, const ScenarioOutcome &outcome) {
            const std::shared_ptr<ScenarioRun> run = weakRun.lock();
            if (!run)
                return;
            if (!outcome.identity.isEmpty())
                moduleIdentity = outcome.identity;
            if (run->progress)
                run->progress->setValue(2 * k);
        },
        Qt::QueuedConnection);
    progress->show();
    // The runner is shared by the work and what comes back, so it outlives both.
    module->run(
        this, [run, chosen](ModuleSession &) { return run->runner.run(chosen); },
        [this, run](const QVector<ScenarioOutcome> &outcomes) { scenariosDone(run, outcomes); });
}

void Rvka5630Debug::scenariosDone(const std::shared_ptr<ScenarioRun> &run,
                                  const QVector<ScenarioOutcome> &outcomes)
{
    // The messages of the scenarios that failed, over the display's last value; a scenario
    // that lost the module asks for the disconnection once they are read and the display is
    // closed.
    reportScenarios(outcomes, [this, run, outcomes] { windUp(run, outcomes); });
}

void Rvka5630Debug::windUp(const std::shared_ptr<ScenarioRun> &run,
                           const QVector<ScenarioOutcome> &outcomes)
{
    if (run->progress) {
        run->progress->close();
        run->progress->deleteLater();
    }
    if (!module)
        return;
    // The instruments and the module get their second on the module's thread.
    module->run(
        this, [](ModuleSession &) { TimeFacility::instance().pause(betweenScenariosMs); },
        [this, run, outcomes] {
            activeRun.reset();
            setPanelsEnabled(true);
            if (!outcomes.isEmpty())
                (new ScenarioSummary(outcomes, this))->show();
            // The procedures and their protocols stand; only the record is missing.
            if (!run->notRecorded.isEmpty())
                ModalDialog::open(new QMessageBox(QMessageBox::Warning, tr("Хранилище результатов"),
                                                  tr("Результат не сохранён в хранилище:\n%1")
                                                      .arg(run->notRecorded.join(QLatin1Char('\n'))),
                                                  QMessageBox::Ok, this),
                                  this);
        });
}

void Rvka5630Debug::closeEvent(QCloseEvent *event)
{
    hide();
    event->ignore();
}
