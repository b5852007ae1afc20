#include "rvka5630debug.h"

#include "autocalibration.h"
#include "benchinstruments.h"
#include "commandchain.h"
#include "delayms.h"
#include "iomonitor.h"
#include "modulesession.h"
#include "rangeverification.h"
#include "scenariofailure.h"
#include "scenarioselection.h"
#include "stabilityverification.h"
#include "ui_rvka5630debug.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <cmath>

namespace {

constexpr int pollIntervalMs = 250;
// The instruments and the module get a second between scenarios, and after the last one.
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
     QT_TRANSLATE_NOOP("Rvka5630Debug", "Поверка: не удалось открыть файл для записи!")},
    {ScenarioFailure::MultimeterCannotOpen,
     QT_TRANSLATE_NOOP("Rvka5630Debug", "Автокалибровка: ошибка инициализации мультиметра!"),
     QT_TRANSLATE_NOOP("Rvka5630Debug", "Поверка: ошибка инициализации мультиметра!")},
    {ScenarioFailure::MultimeterLinkBroken,
     QT_TRANSLATE_NOOP("Rvka5630Debug", "Автокалибровка: связь с мультиметром разорвана!"),
     QT_TRANSLATE_NOOP("Rvka5630Debug", "Поверка: связь с мультиметром разорвана!")},
    {ScenarioFailure::LoadCannotOpen, nullptr,
     QT_TRANSLATE_NOOP("Rvka5630Debug", "Поверка: ошибка инициализации нагрузки электронной!")},
    {ScenarioFailure::LoadLinkBroken, nullptr,
     QT_TRANSLATE_NOOP("Rvka5630Debug", "Поверка: связь с нагрузкой электронной разорвана!")},
    {ScenarioFailure::InstrumentsMissing,
     QT_TRANSLATE_NOOP("Rvka5630Debug", "Автокалибровка: не удалось обнаружить доп. оборудование!"),
     QT_TRANSLATE_NOOP("Rvka5630Debug", "Поверка: не удалось обнаружить доп. оборудование!")},
    {ScenarioFailure::ModuleLinkBroken,
     QT_TRANSLATE_NOOP("Rvka5630Debug", "Автокалибровка: связь с устройством разорвана!"),
     QT_TRANSLATE_NOOP("Rvka5630Debug", "Поверка: связь с устройством разорвана!")},
};

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

void Rvka5630Debug::on_addHwCheckButton_clicked()
{
    const BenchInstruments::Availability found = BenchInstruments::availability();
    QString report = found.multimeter ? tr("Мультиметр найден.\n") : tr("Мультиметр не найден!\n");
    report +=
        found.load ? tr("Нагрузка электронная найдена.") : tr("Нагрузка электронная не найдена!");
    QMessageBox::information(this, tr("Проверка доступности дополнительного оборудования"), report);
}

void Rvka5630Debug::reportScenario(bool calibration, ScenarioFailure failure)
{
    for (const ScenarioMessage &message : scenarioMessages) {
        const char *text = calibration ? message.calibration : message.verification;
        if (message.failure == failure && text)
            QMessageBox::critical(this, tr("Ошибка"), tr(text));
    }
    if (failure == ScenarioFailure::ModuleLinkBroken)
        emit debugDisconnectDevice();
}

void Rvka5630Debug::runVerification(
    ScenarioFailure (*verification)(ModuleSession &, const QString &), const QString &fName)
{
    if (session)
        reportScenario(false, verification(*session, fName));
}

void Rvka5630Debug::autoCalib()
{
    if (session)
        reportScenario(true, AutoCalibration::run(*session));
}

void Rvka5630Debug::check_vdc(const QString &fName)
{
    runVerification(RangeVerification::checkVdc, fName);
}

void Rvka5630Debug::check_vdcCurr(const QString &fName)
{
    runVerification(StabilityVerification::checkVdcCurr, fName);
}

void Rvka5630Debug::check_vacCurr(const QString &fName)
{
    runVerification(StabilityVerification::checkVacCurr, fName);
}

void Rvka5630Debug::check_idc(const QString &fName)
{
    runVerification(RangeVerification::checkIdc, fName);
}

void Rvka5630Debug::check_idcN(const QString &fName)
{
    runVerification(StabilityVerification::checkIdcN, fName);
}

void Rvka5630Debug::check_iac(const QString &fName)
{
    runVerification(StabilityVerification::checkIac, fName);
}

// The field takes whatever the dialog returns: cancelling empties it.
void Rvka5630Debug::choosePath(QLineEdit *field)
{
    field->setText(QFileDialog::getSaveFileName(this, tr("Сохранить отчет"), QString(),
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

void Rvka5630Debug::on_runScriptsButton_clicked()
{
    using Verification = void (Rvka5630Debug::*)(const QString &);
    struct Scenario
    {
        QCheckBox *box;
        QLineEdit *path; // none for the calibration
        Verification verify;
    };
    // The fixed running order.
    const Scenario scenarios[] = {
        {ui->cbAutoCalib, nullptr, nullptr},
        {ui->cbVdc, ui->leVdc, &Rvka5630Debug::check_vdc},
        {ui->cbVdcCurr, ui->leVdcCurr, &Rvka5630Debug::check_vdcCurr},
        {ui->cbVacCurr, ui->leVacCurr, &Rvka5630Debug::check_vacCurr},
        {ui->cbIdc, ui->leIdc, &Rvka5630Debug::check_idc},
        {ui->cbIdcN, ui->leIdcN, &Rvka5630Debug::check_idcN},
        {ui->cbIac, ui->leIac, &Rvka5630Debug::check_iac},
    };

    // The selection as it stands now; the widgets are locked from here to the end.
    struct Chosen
    {
        Verification verify; // none: the calibration
        QString fName;
    };
    QVector<Chosen> chosen;
    ScenarioSelection selection;
    for (const Scenario &scenario : scenarios) {
        const bool ticked = scenario.box->isChecked();
        if (scenario.path)
            selection.add(ticked, scenario.path->text());
        if (ticked)
            chosen.append({scenario.verify, scenario.path ? scenario.path->text() : QString()});
    }
    if (!selection.valid()) {
        QMessageBox::critical(this, tr("Ошибка"), tr("Поля заполнены неверно!"));
        return;
    }

    // Disabled, the panels' polls leave the shared session to the scenarios. A scenario that
    // loses the module makes the main window take the panels down, but their deletion waits
    // until this slot has returned to the main event loop.
    setPanelsEnabled(false);
    QProgressDialog progress(tr("Ожидание выполнения программы..."), QString(), 0,
                             2 * chosen.size(), this);
    progress.setWindowModality(Qt::WindowModal);
    // The last value stays shown through the final pause, and an empty run shows 0 of 0.
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    progress.show();
    int k = 0;
    for (const Chosen &scenario : qAsConst(chosen)) {
        ++k;
        progress.setValue(2 * k - 1);
        if (scenario.verify)
            (this->*scenario.verify)(scenario.fName);
        else
            autoCalib();
        progress.setValue(2 * k);
        delayMs(betweenScenariosMs);
    }
    progress.close();
    delayMs(betweenScenariosMs);
    setPanelsEnabled(true);
}

void Rvka5630Debug::closeEvent(QCloseEvent *event)
{
    hide();
    event->ignore();
}
