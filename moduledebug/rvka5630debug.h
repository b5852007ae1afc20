#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

enum class Scenario;
class CommandConsole;
class IoMonitor;
class ResultsHistory;
enum class ScenarioFailure;
struct ScenarioOutcome;
struct ScenarioRun;
struct ScenarioChoice;
class QMessageBox;
class QStringList;
class QCheckBox;
class QCloseEvent;
class QLineEdit;
class ModuleSession;
class ModuleThread;
class QTimer;

namespace Ui {
class Rvka5630Debug;
}

// The debug and metrology window of one RVKA5630 module: the module's status pins as lamps,
// its control pins, raw measurement and feedback codes, the balance DAC code, the PWM ceiling
// and the PWM regulator gains, and the bench's auxiliary instruments. It hands all of its I/O
// to the module panel's thread (never opens or closes the session) and shows what comes back;
// it asks to be disconnected through debugDisconnectDevice() when a call fails. Closing the
// window only hides it.
//
// Built in two steps, like the module panel: the constructor sets up the form; start() reads
// the settable values back and starts the poll, once the owner has connected to the signals.
class Rvka5630Debug : public QWidget
{
    Q_OBJECT
public:
    explicit Rvka5630Debug(ModuleThread &thread, QWidget *parent = nullptr);
    ~Rvka5630Debug() override;

    void start();

signals:
    void debugDisconnectDevice();
    // The scenario runner takes the module session and the bench for the whole run: true
    // before this window disables itself, false after it is enabled again. The module panel
    // disables and enables itself on it.
    void scenariosRunning(bool running);

public slots:
    // The module panel's own long operations (calibration) take the module as the procedures
    // do: the console is locked meanwhile. Disabling the whole window locks it too.
    void setConsoleAllowed(bool allowed);
    // Reads the pins and codes that the window sets back into their widgets.
    void settableDataUpdate();
    // The timer's poll of the status pins and codes; does nothing while hidden or disabled, or
    // while the previous poll has not come back.
    void gettableDataUpdate();

    // The metrology scenarios. Each is handed to the module's thread, where it runs to its end
    // or its first failure; a message is shown only on failure once it has come back, and a
    // module failure also asks for the device to be disconnected. The verifications write
    // their protocol to fName.
    void autoCalib();
    void check_vdc(const QString &fName);
    void check_vdcCurr(const QString &fName);
    void check_vacCurr(const QString &fName);
    void check_idc(const QString &fName);
    void check_idcN(const QString &fName);
    void check_iac(const QString &fName);

private slots:
    void on_cbOutRele_clicked(bool checked);
    void on_cbAdgCtr_clicked(bool checked);
    void on_cbUlpiStp_clicked(bool checked);
    void on_ibaldacButton_clicked();
    void on_pwmMaxButton_clicked();
    void on_pidButton_clicked();
    void on_addHwCheckButton_clicked();
    void on_ioMonitorButton_clicked();
    void on_consoleButton_clicked();
    void on_historyButton_clicked();

    void on_vdcPathButton_clicked();
    void on_vdcCurrPathButton_clicked();
    void on_vacCurrPathButton_clicked();
    void on_idcPathButton_clicked();
    void on_idcNPathButton_clicked();
    void on_iacPathButton_clicked();
    void on_cbVdc_clicked(bool checked);
    void on_cbVdcCurr_clicked(bool checked);
    void on_cbVacCurr_clicked(bool checked);
    void on_cbIdc_clicked(bool checked);
    void on_cbIdcN_clicked(bool checked);
    void on_cbIac_clicked(bool checked);
    // Runs the ticked scenarios in their fixed order on the module's thread with both panels
    // disabled, showing the running scenario's progress with a button that stops it, then the
    // messages of the scenarios that failed and a summary of the run.
    void on_runScriptsButton_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void sendCode(const char *format, int value);
    // A command on the module's thread; a failure asks for the disconnection.
    void sendCommand(std::function<bool(ModuleSession &)> command);
    // A scenario on the module panel's session, while the panel still has one.
    void runScenario(Scenario scenario, const QString &fName);
    using Then = std::function<void()>;
    // The operator's messages for the scenarios that did not succeed, one box after the
    // other; then then(), and for a module failure the request to disconnect.
    void reportScenarios(const QVector<ScenarioOutcome> &outcomes, Then then = {});
    void showInTurn(QStringList messages, Then then);
    // The questions before a run, asked without waiting; the run starts only after a yes to
    // each that is asked.
    void startScenarios(const QVector<ScenarioChoice> &chosen,
                        const std::shared_ptr<ScenarioRun> &run);
    // The run has come back: the messages of its failures, the last second for the
    // instruments, then the panels enabled and the summary.
    void scenariosDone(const std::shared_ptr<ScenarioRun> &run,
                       const QVector<ScenarioOutcome> &outcomes);
    void windUp(const std::shared_ptr<ScenarioRun> &run, const QVector<ScenarioOutcome> &outcomes);
    void askYes(QMessageBox *question, Then agreed);
    // Whether the earlier protocols at these paths may be replaced; none when there are none.
    QMessageBox *replacingQuestion(const QStringList &existing);
    // Whether to run although the reference register does not confirm the bench's instruments.
    QMessageBox *referenceQuestion(const QStringList &warnings);
    void choosePath(QLineEdit *field);
    void promptForPath(bool checked, QLineEdit *field);
    // Announces the run, then disables this window; or enables it, then announces the end.
    void setPanelsEnabled(bool enabled);

    Ui::Rvka5630Debug *ui;
    QTimer *timer = nullptr;
    // Owned by the module panel, which stops it before this window goes: work that comes back
    // after that is dropped.
    QPointer<ModuleThread> module;
    bool pollUnderWay = false;
    std::weak_ptr<ScenarioRun> activeRun;
    QPointer<IoMonitor> ioMonitor;
    QPointer<CommandConsole> console;
    bool consoleAllowed = true;
    QPointer<ResultsHistory> history;
    QString moduleIdentity; // as the last recorded scenario read it
};
