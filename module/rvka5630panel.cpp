#include "rvka5630panel.h"

#include "calibrationflow.h"
#include "driverdirectory.h"
#include "firmwareupdate.h"
#include "moduleinformation.h"
#include "modaldialog.h"
#include "moduleinformationdialog.h"
#include "modulethread.h"
#include "outputstatecode.h"
#include "programexit.h"
#include "readingchart.h"
#include "readinglog.h"
#include "rvka5630debug.h"
#include "rvka5630link.h"
#include "savefiledialog.h"
#include "selftestdialogs.h"
#include "selftestlink.h"
#include "selftestprogress.h"
#include "selftestreport.h"
#include "timefacility.h"
#include "triggerconfiguration.h"
#include "ui_rvka5630panel.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QProgressDialog>
#include <QTimer>

#include <memory>

namespace {
const int openTimeoutMs = 1000;
const int triggerLines = 12;

// A read-out as the panel shows it, to four decimals.
double shown(double value)
{
    return QString::number(value, 'f', 4).toDouble();
}
} // namespace

Rvka5630panel::Rvka5630panel(const QString &resource, QWidget *parent)
    : QWidget(parent), panelTitle(QString::fromUtf8(QT_TR_NOOP("Модуль питания RVKA5630 AXIe-0"))),
      ui(new Ui::Rvka5630), module(new ModuleThread(this)), session(module->session())
{
    ui->setupUi(this);
    module->setObjectName(QStringLiteral("moduleThread"));
    resourceName = resource;
    readingLog = new ReadingLog(24 * 60 * 60 * 1000 / pollInterval, this);
    // Whatever makes the panel ask to be closed, a failed call behind it leaves its trace.
    connect(this, &Rvka5630panel::disconnectDevice, &session, &ModuleSession::traceFailure);
}

template <class Work, class Done> void Rvka5630panel::hand(Work work, Done done)
{
    ++handedOut;
    module->run(this, std::move(work), [this, done](auto &&...result) mutable {
        done(std::forward<decltype(result)>(result)...);
        // After done: a chain that hands its next step over keeps the poll waiting throughout.
        // The panel is still there: taken down, it goes only once control is back in the main
        // loop.
        --handedOut;
    });
}

Rvka5630panel::Then Rvka5630panel::restPoll()
{
    stopPolling();
    return [this] { restartPolling(); };
}

void Rvka5630panel::ask(QMessageBox *box, Answered answered, bool pollRests)
{
    const Then resume = pollRests ? restPoll() : Then([] {});
    ModalDialog::ask(box, this, [resume, answered](QMessageBox::StandardButton button) {
        resume();
        if (answered)
            answered(button);
    });
}

void Rvka5630panel::showError(const QString &title, const QString &text, Then then)
{
    ask(new QMessageBox(QMessageBox::Critical, title, text, QMessageBox::Ok, this),
        [then](QMessageBox::StandardButton) {
            if (then)
                then();
        });
}

template <class Work> void Rvka5630panel::command(Work work, Then then)
{
    hand(std::move(work), [this, then](bool ok) {
        if (!ok)
            emit disconnectDevice();
        else if (then)
            then();
    });
}

void Rvka5630panel::start(ViSession resourceManager)
{
    if (const QString missing = missingDriverFile(); !missing.isEmpty()) {
        showError(tr("Критическая ошибка"), missing, [] { terminateProgram(-1); });
        return;
    }
    setWindowTitle(tr(panelTitle.toUtf8().constData()));
    prepareForm();
    // Not shown yet: both polls return at once, the first real one is the first tick after
    // the page is shown. A panel that has asked to close talks to the module no more: no
    // status check (whose dialog could unlock the output of a module about to lose its panel),
    // no debug window.
    // The start-up's read-outs follow the panel as start() finds it, however long the steps
    // before them take.
    const bool shownAtStart = isVisible() && isEnabled();
    const auto readOut = [this, shownAtStart](Then then) {
        if (shownAtStart)
            refreshMeasurements(then);
        else
            then();
    };
    openAndReadLimits(resourceManager, [this, readOut] {
        ui->sbInOutTrigger->setMaximum(triggerLines);
        ui->sbAbortTrigger->setMaximum(triggerLines);
        startPolling();
        refreshSettings([this, readOut] {
            readOut([this, readOut] {
                selfTestStatusCheck([this, readOut] {
                    readOut([this] {
                        // The form enables the output button; until the first poll it follows
                        // the same rule.
                        updateOutputAvailability();
                        startDebugPanel();
                    });
                });
            });
        });
    });
}

void Rvka5630panel::startDebugPanel()
{
    debugPanel = new Rvka5630Debug(*module, nullptr);
    connect(debugPanel, &Rvka5630Debug::debugDisconnectDevice, this,
            &Rvka5630panel::onDebugDisconnectDevice);
    // The scenarios own the session while they run: the panel is disabled before the debug
    // window and enabled after it.
    connect(debugPanel, &Rvka5630Debug::scenariosRunning, this,
            [this](bool running) { setEnabled(!running); });
    debugPanel->start();
}

Rvka5630panel::~Rvka5630panel()
{
    qDebug() << "~Direrure5630";
    // Interrupts whatever the module's thread is doing: nothing of it comes back any more.
    module->stop();
    // The debug window may be running one of its own slots right now.
    if (debugPanel)
        debugPanel->deleteLater();
    delete ui;
}

// Without the driver directory and both library files the installation is broken: the
// program ends rather than run half-installed. What is missing, or empty when nothing is.
QString Rvka5630panel::missingDriverFile()
{
    driverDir = DriverDirectory::fromEnvironment(QProcess::systemEnvironment());
    if (driverDir.isEmpty())
        return tr("Не удалось обнаружить VXIPNPPATH в переменных среды");
    qDebug().noquote().nospace() << "path:" << driverDir;
    if (!QFileInfo::exists(driverDir + DriverDirectory::driverLibrary()))
        return tr("Файл rvka5630_32.dll не найден.");
    if (!QFileInfo::exists(driverDir + DriverDirectory::mathLibrary()))
        return tr("Файл rvka5630_math.dll не найден.");
    return QString();
}

void Rvka5630panel::prepareForm()
{
    for (QDoubleSpinBox *box : {ui->dsbVolt, ui->dsbCurr, ui->dsbOvp})
        box->setDecimals(4);
    ui->groupBoxConfTrig->setChecked(false);
    on_groupBoxConfTrig_clicked(false);
}

void Rvka5630panel::openAndReadLimits(ViSession resourceManager, Then then)
{
    struct Opened
    {
        bool open = false;
        bool read = false;
        Rvka5630Link::Limits limits;
    };
    const QString resource = resourceName;
    hand(
        [resourceManager, resource](ModuleSession &session) {
            Opened opened;
            opened.open = session.open(resourceManager, resource, openTimeoutMs) == VI_SUCCESS;
            if (opened.open)
                opened.read = Rvka5630Link(session).readLimits(opened.limits);
            return opened;
        },
        [this, then](const Opened &opened) {
            if (!opened.open) {
                showError(tr("Критическая ошибка"), tr("Не удалось открыть соединение!"),
                          [this] { emit disconnectDevice(); });
                return;
            }
            const std::pair<const std::optional<Rvka5630Link::Range> &, QDoubleSpinBox *>
                boxes[] = {{opened.limits.voltage, ui->dsbVolt},
                           {opened.limits.current, ui->dsbCurr},
                           {opened.limits.protection, ui->dsbOvp}};
            for (const auto &box : boxes)
                if (box.first)
                    box.second->setRange(box.first->minimum, box.first->maximum);
            if (!opened.read)
                emit disconnectDevice();
            else
                then();
        });
}

void Rvka5630panel::startPolling()
{
    pollTimer = new QTimer(this);
    pollTimer->setObjectName(QStringLiteral("pollTimer"));
    connect(pollTimer, &QTimer::timeout, this, &Rvka5630panel::gettableDataUpdate);
    pollTimer->start(pollInterval);
}

void Rvka5630panel::stopPolling()
{
    if (pollTimer)
        pollTimer->stop();
}

void Rvka5630panel::restartPolling()
{
    if (pollTimer)
        pollTimer->start(pollInterval);
}

// Decides outputAllowed from the module's self-test status. After a failed self-test the
// module blocks output control until the operator chooses to ignore the result.
void Rvka5630panel::selfTestStatusCheck(Then then)
{
    struct Status
    {
        bool read = false;
        int status = 0;
    };
    hand(
        [](ModuleSession &session) {
            Status status;
            status.read = SelfTestLink(session).readStatus(status.status);
            return status;
        },
        [this, then](const Status &status) {
            if (!status.read) {
                emit disconnectDevice();
                return;
            }
            const auto allow = [this, then](bool allowed) {
                outputAllowed = allowed;
                updateOutputAvailability();
                if (then)
                    then();
            };
            if (status.status == 0) {
                allow(true);
                return;
            }
            ask(SelfTestDialogs::failedSelfTestBox(), [this, allow](QMessageBox::StandardButton b) {
                if (!SelfTestDialogs::ignoresFailedSelfTest(b))
                    allow(false);
                else
                    command(
                        [](ModuleSession &session) { return SelfTestLink(session).ignoreResult(); },
                        [allow] { allow(true); });
            });
        });
}

void Rvka5630panel::on_disconnectButton_clicked()
{
    emit disconnectDevice();
}

void Rvka5630panel::onDebugDisconnectDevice()
{
    emit disconnectDevice();
}

void Rvka5630panel::on_debugShowButton_clicked()
{
    if (debugPanel)
        debugPanel->show();
}

// The chart only reads what the poll has already read.
void Rvka5630panel::on_chartButton_clicked()
{
    if (!chart)
        chart =
            new ReadingChart(*readingLog, windowTitle() + QLatin1Char(' ') + resourceName, this);
    chart->show();
    chart->raise();
    chart->activateWindow();
}

void Rvka5630panel::on_groupBoxConfTrig_clicked(bool checked)
{
    // One designed height for the whole run, taken before the group is first folded.
    static const int designedHeight = ui->groupBoxConfTrig->maximumHeight();
    if (checked)
        ui->groupBoxConfTrig->setMaximumHeight(designedHeight);
    else
        ui->groupBoxConfTrig->setMaximumHeight(QFontMetrics(ui->groupBoxConfTrig->font()).height());
}

// --- read-back ------------------------------------------------------------------------------

void Rvka5630panel::gettableDataUpdate()
{
    // Only once the previous poll, or the action under way, has come back.
    if (handedOut == 0)
        refreshMeasurements();
}

void Rvka5630panel::refreshMeasurements(Then then)
{
    // The panel is hidden while the main window shows the list instead, and disabled while a
    // self-test, a firmware update or the scenarios own the session.
    if (!isEnabled() || !isVisible()) {
        if (then)
            then();
        return;
    }
    struct Read
    {
        bool ok = false;
        qint64 at = 0; // when the module was read, for the chart and its log
        Rvka5630Link::Measurements measured;
    };
    hand(
        [](ModuleSession &session) {
            Read read;
            read.ok = Rvka5630Link(session).readMeasurements(read.measured);
            read.at = QDateTime::currentMSecsSinceEpoch();
            return read;
        },
        [this, then](const Read &read) {
            const Rvka5630Link::Measurements &measured = read.measured;
            if (measured.voltage) {
                shownVolts = shown(*measured.voltage);
                ui->dispVolt->setText(QString::number(shownVolts, 'f', 4));
            }
            if (measured.current) {
                shownAmps = shown(*measured.current);
                ui->dispCurr->setText(QString::number(shownAmps, 'f', 4));
                // The power the operator can check by hand: the product of the shown values.
                shownWatts = shown(shownVolts * shownAmps);
                ui->dispWatt->setText(QString::number(shownWatts, 'f', 4));
            }
            if (measured.stateCode) {
                ui->dispOutp->setText(OutputStateCode::text(*measured.stateCode));
                updateOutputButtons(*measured.stateCode);
            }
            if (measured.temperature)
                ui->temperatureLabel->setText(QString::number(*measured.temperature, 'f', 1));
            if (!read.ok) {
                emit disconnectDevice();
                return;
            }
            readingLog->append({read.at, *measured.voltage, *measured.current, shownWatts,
                                *measured.temperature});
            if (then)
                then();
        });
}

void Rvka5630panel::updateOutputButtons(int stateCode)
{
    using Category = OutputStateCode::Category;
    const Category category = OutputStateCode::category(stateCode);
    if (category != Category::None) {
        const bool on = category == Category::On;
        if (ui->outpButton->isChecked() != on) {
            ui->outpButton->setChecked(on);
            ui->outpButton->setText(on ? tr("Выкл") : tr("Вкл"));
        }
        const bool fault = category == Category::Fault;
        if (ui->clearFaultsButton->isEnabledTo(this) != fault)
            ui->clearFaultsButton->setEnabled(fault);
    }
    updateOutputAvailability();
}

// The output stays locked until the self-test status allows it and no fault is pending.
void Rvka5630panel::updateOutputAvailability()
{
    const bool outputFree = outputAllowed && !ui->clearFaultsButton->isEnabledTo(this);
    if (ui->outpButton->isEnabledTo(this) != outputFree)
        ui->outpButton->setEnabled(outputFree);
}

void Rvka5630panel::settableDataUpdate()
{
    refreshSettings();
}

void Rvka5630panel::refreshSettings(Then then)
{
    struct Read
    {
        bool ok = false;
        Rvka5630Link::Settings settings;
    };
    hand(
        [](ModuleSession &session) {
            Read read;
            read.ok = Rvka5630Link(session).readSettings(read.settings);
            return read;
        },
        [this, then](const Read &result) {
            const Rvka5630Link::Settings &read = result.settings;
            if (read.voltage)
                ui->dsbVolt->setValue(*read.voltage);
            if (read.current)
                ui->dsbCurr->setValue(*read.current);
            if (read.protection)
                ui->dsbOvp->setValue(*read.protection);
            if (read.outputCode) {
                const int code = *read.outputCode;
                if (OutputStateCode::category(code) == OutputStateCode::Category::On) {
                    ui->outpButton->setChecked(true);
                    ui->outpButton->setText(tr("Выкл"));
                }
                ui->clearFaultsButton->setEnabled(code > 2 && code != 12);
            }
            if (read.triggerSource) {
                const bool slave = read.triggerSource->role == TriggerConfiguration::Role::Slave;
                (slave ? ui->rbSlave : ui->rbMaster)->setChecked(true);
                ui->sbInOutTrigger->setValue(read.triggerSource->line);
            }
            if (read.abortLine)
                ui->sbAbortTrigger->setValue(*read.abortLine);
            if (read.overPower && (*read.overPower == 0 || *read.overPower == 1)) {
                powerMode = *read.overPower;
                (powerMode ? ui->rbOverWatt : ui->rbNormalWatt)->setChecked(true);
            }
            if (!result.ok)
                emit disconnectDevice();
            else if (then)
                then();
        });
}

// --- control --------------------------------------------------------------------------------

void Rvka5630panel::on_outpButton_clicked(bool checked)
{
    ui->outpButton->setText(checked ? tr("Выкл") : tr("Вкл"));
    command([checked](ModuleSession &session) { return Rvka5630Link(session).setOutput(checked); });
}

void Rvka5630panel::on_clearFaultsButton_clicked()
{
    command([](ModuleSession &session) { return Rvka5630Link(session).clearFaults(); });
}

void Rvka5630panel::on_setupParametersButton_clicked()
{
    const double protection = ui->dsbOvp->value(), voltage = ui->dsbVolt->value(),
                 current = ui->dsbCurr->value();
    command(
        [protection, voltage, current](ModuleSession &session) {
            return Rvka5630Link(session).setParameters(protection, voltage, current);
        },
        [this] { settableDataUpdate(); });
}

void Rvka5630panel::on_setupTriggersButton_clicked()
{
    TriggerConfiguration configuration;
    configuration.line = ui->sbInOutTrigger->value();
    configuration.abortLine = ui->sbAbortTrigger->value();
    configuration.role = ui->rbMaster->isChecked()  ? TriggerConfiguration::Role::Master
                         : ui->rbSlave->isChecked() ? TriggerConfiguration::Role::Slave
                                                    : TriggerConfiguration::Role::None;
    // The module must not change its trigger role under a live output.
    if (ui->outpButton->isChecked()) {
        refuseTriggerConfiguration(tr("Включен выход!"));
        return;
    }
    if (!configuration.acceptable()) {
        refuseTriggerConfiguration(tr("Недопустимая комбинация!"));
        return;
    }
    command([configuration](ModuleSession &session) {
        return Rvka5630Link(session).configureTriggers(configuration);
    });
}

void Rvka5630panel::refuseTriggerConfiguration(const QString &reason)
{
    showError(tr("Ошибка"), reason);
}

void Rvka5630panel::on_resetButton_clicked()
{
    command([](ModuleSession &session) { return Rvka5630Link(session).reset(); },
            [this] { settableDataUpdate(); });
}

void Rvka5630panel::on_rbNormalWatt_clicked()
{
    if (powerMode != 1)
        return;
    powerMode = 0;
    sendPowerMode(powerMode);
}

void Rvka5630panel::on_rbOverWatt_clicked()
{
    if (powerMode != 0)
        return;
    powerMode = 1;
    sendPowerMode(powerMode);
}

void Rvka5630panel::sendPowerMode(int mode)
{
    command([mode](ModuleSession &session) { return Rvka5630Link(session).setPowerMode(mode); },
            [this] { settableDataUpdate(); });
}

// --- operations of their own ----------------------------------------------------------------

void Rvka5630panel::on_selfTestButton_clicked()
{
    ask(SelfTestDialogs::runOrSaveBox(), [this](QMessageBox::StandardButton button) {
        const SelfTestDialogs::Choice choice = SelfTestDialogs::choice(button);
        if (choice == SelfTestDialogs::Choice::Run)
            runSelfTest();
        else if (choice == SelfTestDialogs::Choice::SaveReport)
            saveSelfTestReport();
    });
}

void Rvka5630panel::runSelfTest()
{
    if (ui->outpButton->isChecked()) {
        showError(tr("Ошибка"), tr("Включен выход!"));
        return;
    }
    // The session belongs to the test until its verdict is in: neither window polls, and a
    // failure leaves them so for the main window to remove.
    stopPolling();
    setEnabled(false);
    if (debugPanel)
        debugPanel->setEnabled(false);
    struct Run
    {
        bool started = false;
        bool read = false;
        SelfTestLink::Verdict verdict = SelfTestLink::Verdict::Neither;
    };
    // The progress dialog appears once the module has taken the start command.
    auto dialog = std::make_shared<QPointer<QProgressDialog>>();
    command([](ModuleSession &session) { return SelfTestLink(session).start(); }, [this, dialog] {
        *dialog = SelfTestProgress::show(this);
        const QPointer<QProgressDialog> shown = *dialog;
        hand(
            [shown](ModuleSession &session) {
                SelfTestProgress::wait(shown);
                Run run;
                run.read = SelfTestLink(session).readVerdict(run.verdict);
                return run;
            },
            [this, dialog](const Run &run) {
                if (*dialog) {
                    (*dialog)->setValue(SelfTestProgress::steps);
                    (*dialog)->close();
                    delete dialog->data();
                }
                if (!run.read) {
                    emit disconnectDevice();
                    return;
                }
                refreshSettings();
                refreshMeasurements([this, verdict = run.verdict] {
                    const Then next = [this] { selfTestStatusCheck([this] { finishSelfTest(); }); };
                    // The poll rests already, until the test is over.
                    if (QMessageBox *box = SelfTestDialogs::verdictBox(verdict))
                        ask(box, [next](QMessageBox::StandardButton) { next(); }, false);
                    else
                        next();
                });
            });
    });
}

void Rvka5630panel::finishSelfTest()
{
    refreshSettings();
    refreshMeasurements([this] {
        restartPolling();
        setEnabled(true);
        if (debugPanel)
            debugPanel->setEnabled(true);
    });
}

// Every failure after the file name ends the report quietly: no file, no message.
void Rvka5630panel::saveSelfTestReport()
{
    const Then resume = restPoll();
    SaveFileDialog::ask(
        this, tr("Сохранить отчет"), QString(), tr("HTML страница (*.html)"), this,
        [this, resume](const QString &path) {
            resume();
            if (path.isEmpty())
                return;
            const QDate date = TimeFacility::instance().currentDateTime().date();
            hand([path, date](
                     ModuleSession &session) { SelfTestReport::save(session, path, date); },
                 [] {});
        });
}

void Rvka5630panel::on_calibButton_clicked()
{
    const CalibrationFlow::Polling polling{[this] { stopPolling(); }, [this] { restartPolling(); }};
    // The debug window's console waits while the flow lasts: the flow holds the lock with its
    // failure handler, and gives it back when it ends, however it ends.
    if (debugPanel)
        debugPanel->setConsoleAllowed(false);
    const std::shared_ptr<void> consoleLock(
        nullptr, [debug = QPointer<Rvka5630Debug>(debugPanel)](void *) {
            if (debug)
                debug->setConsoleAllowed(true);
        });
    CalibrationFlow::start(this, *module, ui->dsbVolt, ui->dsbCurr, polling,
                           [this, consoleLock] { emit disconnectDevice(); });
}

void Rvka5630panel::on_aboutButton_clicked()
{
    struct Read
    {
        bool ok = false;
        ModuleInformation information;
    };
    hand(
        [](ModuleSession &session) {
            Read read;
            read.ok = read.information.read(session);
            return read;
        },
        [this](const Read &read) {
            if (!read.ok) {
                emit disconnectDevice();
                return;
            }
            const Then resume = restPoll();
            ModuleInformationDialog::askForMetrology(
                this, read.information.text(), [this, resume](bool metrology) {
                    resume();
                    if (metrology)
                        checkMathLibrary();
                });
        });
}

void Rvka5630panel::checkMathLibrary()
{
    const QString library = driverDir + DriverDirectory::mathLibrary();
    hand([library](ModuleSession &) { return MathLibraryChecksum::check(library); },
         [this](const MathLibraryChecksum::Result &result) {
             ModuleInformationDialog::showChecksum(this, result, restPoll());
         });
}

void Rvka5630panel::on_swUpdateButton_clicked()
{
    FirmwareUpdate::start({this, *module, pollTimer, pollInterval, debugPanel,
                           [this] { settableDataUpdate(); }, [this] { selfTestStatusCheck(); },
                           [this] { emit disconnectDevice(); }});
}
