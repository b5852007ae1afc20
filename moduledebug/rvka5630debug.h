#pragma once

#include <QPointer>
#include <QWidget>

enum class Scenario;
class IoMonitor;
class ResultsHistory;
enum class ScenarioFailure;
class QCheckBox;
class QCloseEvent;
class QLineEdit;
class ModuleSession;
class QTimer;

namespace Ui {
class Rvka5630Debug;
}

// The debug and metrology window of one RVKA5630 module: the module's status pins as lamps,
// its control pins, raw measurement and feedback codes, the balance DAC code, the PWM ceiling
// and the PWM regulator gains, and the bench's auxiliary instruments. It works on the module
// panel's session (never opens or closes one; it asks the session's owner for the handle at
// every call) and asks to be disconnected through debugDisconnectDevice() when a call fails.
// Closing the window only hides it.
//
// Built in two steps, like the module panel: the constructor sets up the form; start() reads
// the settable values back and starts the poll, once the owner has connected to the signals.
class Rvka5630Debug : public QWidget
{
    Q_OBJECT
public:
    explicit Rvka5630Debug(ModuleSession &session, QWidget *parent = nullptr);
    ~Rvka5630Debug() override;

    void start();

signals:
    void debugDisconnectDevice();
    // The scenario runner takes the module session and the bench for the whole run: true
    // before this window disables itself, false after it is enabled again. The module panel
    // disables and enables itself on it.
    void scenariosRunning(bool running);

public slots:
    // Reads the pins and codes that the window sets back into their widgets.
    void settableDataUpdate();
    // The timer's poll of the status pins and codes; does nothing while hidden or disabled.
    void gettableDataUpdate();

    // The metrology scenarios. Each runs to its end or its first failure before it returns,
    // keeping the interface alive through its pauses, and shows a message only on failure;
    // a module failure also asks for the device to be disconnected. The verifications write
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
    // Runs the ticked scenarios in their fixed order with both panels disabled, showing the
    // running scenario's progress with a button that stops it, then a summary of the run.
    void on_runScriptsButton_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void sendCode(const char *format, int value);
    // A scenario on the module panel's session, while the panel still has one.
    void runScenario(Scenario scenario, const QString &fName);
    // The operator's message for a scenario that did not succeed, then, for a module failure,
    // the request to disconnect.
    void reportScenario(Scenario scenario, ScenarioFailure failure);
    // Asks once whether the earlier protocols at these paths may be replaced; true when there
    // are none.
    bool replacingAgreed(const QStringList &existing);
    void choosePath(QLineEdit *field);
    void promptForPath(bool checked, QLineEdit *field);
    // Announces the run, then disables this window; or enables it, then announces the end.
    void setPanelsEnabled(bool enabled);

    Ui::Rvka5630Debug *ui;
    QTimer *timer = nullptr;
    // Owned by the module panel, which schedules this window's deletion when it goes: in the
    // meantime nothing here touches the module.
    QPointer<ModuleSession> session;
    QPointer<IoMonitor> ioMonitor;
    QPointer<ResultsHistory> history;
    QString moduleIdentity; // as the last recorded scenario read it
};
