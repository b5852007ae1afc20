#include "rvka5630panel.h"

#include "calibrationflow.h"
#include "driverdirectory.h"
#include "firmwareupdate.h"
#include "moduleinformation.h"
#include "moduleinformationdialog.h"
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
#include <QTimer>

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
      ui(new Ui::Rvka5630)
{
    ui->setupUi(this);
    resourceName = resource;
    readingLog = new ReadingLog(24 * 60 * 60 * 1000 / pollInterval, this);
    // Whatever makes the panel ask to be closed, a failed call behind it leaves its trace.
    connect(this, &Rvka5630panel::disconnectDevice, &session, &ModuleSession::traceFailure);
}

void Rvka5630panel::start(ViSession resourceManager)
{
    if (!findDriverFiles())
        return;
    setWindowTitle(tr(panelTitle.toUtf8().constData()));
    prepareForm();
    if (!openSession(resourceManager) || !readLimits())
        return;
    ui->sbInOutTrigger->setMaximum(triggerLines);
    ui->sbAbortTrigger->setMaximum(triggerLines);
    startPolling();

    // Not shown yet: both polls return at once, the first real one is the first tick after
    // the page is shown. A panel that has asked to close talks to the module no more: no
    // status check (whose dialog could unlock the output of a module about to lose its panel),
    // no debug window.
    if (!refreshSettings() || !refreshMeasurements() || !selfTestStatusCheck() ||
        !refreshMeasurements())
        return;
    // The form enables the output button; until the first poll it follows the same rule.
    updateOutputAvailability();
    startDebugPanel();
}

void Rvka5630panel::startDebugPanel()
{
    debugPanel = new Rvka5630Debug(moduleThread, nullptr);
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
    // The debug window may be running one of its own slots right now.
    if (debugPanel)
        debugPanel->deleteLater();
    session.close();
    delete ui;
}

// Without the driver directory and both library files the installation is broken: the
// program ends rather than run half-installed.
bool Rvka5630panel::findDriverFiles()
{
    driverDir = DriverDirectory::fromEnvironment(QProcess::systemEnvironment());
    if (driverDir.isEmpty()) {
        QMessageBox::critical(this, tr("Критическая ошибка"),
                              tr("Не удалось обнаружить VXIPNPPATH в переменных среды"),
                              QMessageBox::Ok);
        terminateProgram(-1);
        return false;
    }
    qDebug().noquote().nospace() << "path:" << driverDir;
    if (!QFileInfo::exists(driverDir + DriverDirectory::driverLibrary())) {
        QMessageBox::critical(this, tr("Критическая ошибка"),
                              tr("Файл rvka5630_32.dll не найден."));
        terminateProgram(-1);
        return false;
    }
    if (!QFileInfo::exists(driverDir + DriverDirectory::mathLibrary())) {
        QMessageBox::critical(this, tr("Критическая ошибка"),
                              tr("Файл rvka5630_math.dll не найден."));
        terminateProgram(-1);
        return false;
    }
    return true;
}

void Rvka5630panel::prepareForm()
{
    for (QDoubleSpinBox *box : {ui->dsbVolt, ui->dsbCurr, ui->dsbOvp})
        box->setDecimals(4);
    ui->groupBoxConfTrig->setChecked(false);
    on_groupBoxConfTrig_clicked(false);
}

bool Rvka5630panel::openSession(ViSession resourceManager)
{
    if (session.open(resourceManager, resourceName, openTimeoutMs) == VI_SUCCESS)
        return true;
    QMessageBox::critical(this, tr("Критическая ошибка"), tr("Не удалось открыть соединение!"));
    emit disconnectDevice();
    return false;
}

bool Rvka5630panel::readLimits()
{
    Rvka5630Link::Limits limits;
    const bool ok = Rvka5630Link(session).readLimits(limits);
    const std::pair<const std::optional<Rvka5630Link::Range> &, QDoubleSpinBox *> boxes[] = {
        {limits.voltage, ui->dsbVolt},
        {limits.current, ui->dsbCurr},
        {limits.protection, ui->dsbOvp}};
    for (const auto &box : boxes)
        if (box.first)
            box.second->setRange(box.first->minimum, box.first->maximum);
    if (!ok)
        emit disconnectDevice();
    return ok;
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
bool Rvka5630panel::selfTestStatusCheck()
{
    int status = 0;
    if (!SelfTestLink(session).readStatus(status)) {
        emit disconnectDevice();
        return false;
    }
    if (status == 0) {
        outputAllowed = true;
    } else {
        const QPointer<Rvka5630panel> alive(this);
        stopPolling();
        const bool ignore = SelfTestDialogs::ignoreFailedSelfTest();
        if (!alive)
            return false;
        restartPolling();
        if (ignore && !SelfTestLink(session).ignoreResult()) {
            emit disconnectDevice();
            return false;
        }
        outputAllowed = ignore;
    }
    updateOutputAvailability();
    return true;
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
    refreshMeasurements();
}

bool Rvka5630panel::refreshMeasurements()
{
    // The panel is hidden while the main window shows the list instead, and disabled while a
    // self-test, a firmware update or the scenarios own the session.
    if (!isEnabled() || !isVisible())
        return true;
    Rvka5630Link::Measurements measured;
    const bool ok = Rvka5630Link(session).readMeasurements(measured);
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
    if (!ok) {
        emit disconnectDevice();
        return false;
    }
    readingLog->append({QDateTime::currentMSecsSinceEpoch(), *measured.voltage, *measured.current,
                        shownWatts, *measured.temperature});
    return true;
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

bool Rvka5630panel::refreshSettings()
{
    Rvka5630Link::Settings read;
    const bool ok = Rvka5630Link(session).readSettings(read);
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
    if (!ok)
        emit disconnectDevice();
    return ok;
}

// --- control --------------------------------------------------------------------------------

void Rvka5630panel::on_outpButton_clicked(bool checked)
{
    ui->outpButton->setText(checked ? tr("Выкл") : tr("Вкл"));
    if (!Rvka5630Link(session).setOutput(checked))
        emit disconnectDevice();
}

void Rvka5630panel::on_clearFaultsButton_clicked()
{
    if (!Rvka5630Link(session).clearFaults())
        emit disconnectDevice();
}

void Rvka5630panel::on_setupParametersButton_clicked()
{
    if (Rvka5630Link(session).setParameters(ui->dsbOvp->value(), ui->dsbVolt->value(),
                                            ui->dsbCurr->value()))
        settableDataUpdate();
    else
        emit disconnectDevice();
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
    if (!Rvka5630Link(session).configureTriggers(configuration))
        emit disconnectDevice();
}

void Rvka5630panel::refuseTriggerConfiguration(const QString &reason)
{
    stopPolling();
    QMessageBox::critical(this, tr("Ошибка"), reason);
    restartPolling();
}

void Rvka5630panel::on_resetButton_clicked()
{
    if (Rvka5630Link(session).reset())
        settableDataUpdate();
    else
        emit disconnectDevice();
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
    if (Rvka5630Link(session).setPowerMode(mode))
        settableDataUpdate();
    else
        emit disconnectDevice();
}

// --- operations of their own ----------------------------------------------------------------

void Rvka5630panel::on_selfTestButton_clicked()
{
    const QPointer<Rvka5630panel> alive(this);
    stopPolling();
    const SelfTestDialogs::Choice choice = SelfTestDialogs::runOrSave();
    if (!alive)
        return;
    restartPolling();
    if (choice == SelfTestDialogs::Choice::Run)
        runSelfTest();
    else if (choice == SelfTestDialogs::Choice::SaveReport)
        saveSelfTestReport();
}

void Rvka5630panel::runSelfTest()
{
    if (ui->outpButton->isChecked()) {
        stopPolling();
        QMessageBox::critical(this, tr("Ошибка"), tr("Включен выход!"));
        restartPolling();
        return;
    }
    // The session belongs to the test until its verdict is in: neither window polls, and a
    // failure leaves them so for the main window to remove.
    stopPolling();
    setEnabled(false);
    if (debugPanel)
        debugPanel->setEnabled(false);
    const SelfTestLink link(session);
    if (!link.start()) {
        emit disconnectDevice();
        return;
    }
    const QPointer<Rvka5630panel> alive(this);
    SelfTestProgress::wait(this);
    SelfTestLink::Verdict verdict = SelfTestLink::Verdict::Neither;
    if (!alive)
        return;
    if (!link.readVerdict(verdict)) {
        emit disconnectDevice();
        return;
    }
    settableDataUpdate();
    gettableDataUpdate();
    SelfTestDialogs::showVerdict(verdict);
    if (!alive)
        return;
    selfTestStatusCheck();
    if (!alive)
        return;
    settableDataUpdate();
    gettableDataUpdate();
    restartPolling();
    setEnabled(true);
    if (debugPanel)
        debugPanel->setEnabled(true);
}

// Every failure after the file name ends the report quietly: no file, no message.
void Rvka5630panel::saveSelfTestReport()
{
    stopPolling();
    const QString path = SaveFileDialog::fileName(this, tr("Сохранить отчет"), QString(),
                                                  tr("HTML страница (*.html)"));
    restartPolling();
    if (path.isEmpty())
        return;
    SelfTestReport::save(session, path, TimeFacility::instance().currentDateTime().date());
}

void Rvka5630panel::on_calibButton_clicked()
{
    const CalibrationFlow::Polling polling{[this] { stopPolling(); }, [this] { restartPolling(); }};
    CalibrationFlow flow(this, session, ui->dsbVolt, ui->dsbCurr, polling);
    if (flow.run() == CalibrationFlow::Outcome::Failed)
        emit disconnectDevice();
}

void Rvka5630panel::on_aboutButton_clicked()
{
    ModuleInformation information;
    if (!information.read(session)) {
        emit disconnectDevice();
        return;
    }
    // A failing poll of the debug window may take the panel away while a box is open.
    const QPointer<Rvka5630panel> panel(this);
    stopPolling();
    if (ModuleInformationDialog::askForMetrology(this, information.text()) && panel)
        ModuleInformationDialog::showChecksum(this, driverDir + DriverDirectory::mathLibrary());
    if (panel)
        restartPolling();
}

void Rvka5630panel::on_swUpdateButton_clicked()
{
    FirmwareUpdate update({this, session, pollTimer, pollInterval, debugPanel,
                           [this] { settableDataUpdate(); }, [this] { selfTestStatusCheck(); },
                           [this] { emit disconnectDevice(); }});
    update.run();
}
