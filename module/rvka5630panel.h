#pragma once

#include "modulethread.h"

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QTimer;
class ReadingChart;
class ReadingLog;
class Rvka5630Debug;

namespace Ui {
class Rvka5630;
}

// The operator panel of one RVKA5630 power module, hosted as a page of the main window. It
// owns the module's thread (and with it the module's VISA session) and its debug window, polls
// the module every pollInterval while it is shown and enabled, and asks to be closed with
// disconnectDevice() whenever the module fails a command (or its session cannot be opened at
// all).
//
// Every exchange with the module happens on the module's thread: a slot reads the widgets,
// hands the work over and returns; the outcome is shown when it comes back. While work of the
// panel is out, its poll waits, so a slow module lowers the read-out rate and never piles
// polls up; clicks meanwhile are queued behind it, in order.
//
// Built in two steps: the constructor sets up the form; start() brings the panel up on the
// module once its owner has connected to disconnectDevice().
class Rvka5630panel : public QWidget
{
    Q_OBJECT

public:
    Rvka5630panel(const QString &resourceName, QWidget *parent);
    ~Rvka5630panel() override;

    // Checks the driver files, opens the session from resourceManager, reads the module's
    // limits, starts polling, reads the module's state, checks its self-test status and
    // creates the debug window, in this order; returns once the first step is handed over. A
    // panel that cannot start shows its own message, if any, asks to be closed and goes no
    // further; while not shown yet, its polls send nothing.
    void start(ViSession resourceManager);

    ModuleThread &moduleThread() { return *module; }

signals:
    void disconnectDevice();

private slots:
    void on_disconnectButton_clicked();
    void on_outpButton_clicked(bool checked);
    void on_clearFaultsButton_clicked();
    void on_setupParametersButton_clicked();
    void on_setupTriggersButton_clicked();
    void on_selfTestButton_clicked();
    void on_resetButton_clicked();
    void on_rbNormalWatt_clicked();
    void on_rbOverWatt_clicked();
    void on_debugShowButton_clicked();
    void on_groupBoxConfTrig_clicked(bool checked);
    void on_calibButton_clicked();
    void on_aboutButton_clicked();
    void on_swUpdateButton_clicked();
    void onDebugDisconnectDevice();

public slots:
    void settableDataUpdate();
    void gettableDataUpdate();

private slots:
    // After the others: the debug window's owner relies on their order.
    void on_chartButton_clicked();

private:
    using Then = std::function<void()>;

    // Hands work to the module's thread; done(result) shows what it found when it is back.
    template <class Work, class Done> void hand(Work work, Done done);
    // Hands over a command chain: on failure the panel asks to be closed, else then follows.
    template <class Work> void command(Work work, Then then = {});

    using Answered = std::function<void(QMessageBox::StandardButton)>;
    // The poll rests while a dialog is open: stops it, and returns what resumes it.
    Then restPoll();
    // Shows a box of the panel's without waiting for it, the poll resting meanwhile unless
    // told otherwise; answered runs once it is closed. Taken away with the panel, the box
    // answers nobody.
    void ask(QMessageBox *box, Answered answered, bool pollRests = true);
    void showError(const QString &title, const QString &text, Then then = {});

    QString missingDriverFile();
    void prepareForm();
    void openAndReadLimits(ViSession resourceManager, Then then);
    void startPolling();
    void startDebugPanel();
    // The read-back and the poll, each followed by then unless the module failed and the
    // panel has asked to be closed.
    void refreshSettings(Then then = {});
    void refreshMeasurements(Then then = {});
    void selfTestStatusCheck(Then then = {});
    void runSelfTest();
    void finishSelfTest();
    void saveSelfTestReport();
    void checkMathLibrary();

    void updateOutputButtons(int stateCode);
    void updateOutputAvailability();
    void sendPowerMode(int mode);
    void refuseTriggerConfiguration(const QString &reason);
    void stopPolling();
    void restartPolling();

    const QString panelTitle;
    Ui::Rvka5630 *ui;
    QTimer *pollTimer = nullptr;
    const int pollInterval = 250;
    ModuleThread *module;
    ModuleSession &session; // the module thread's; the GUI thread only traces its failures
    int handedOut = 0;      // pieces of the panel's work not yet back
    QString resourceName;
    int powerMode = 0;
    Rvka5630Debug *debugPanel = nullptr;
    // Every complete poll since connect, for the chart and its CSV log (24 h of polls).
    ReadingLog *readingLog = nullptr;
    QPointer<ReadingChart> chart;
    bool outputAllowed = false;
    // The read-outs as shown; the power is their product.
    double shownVolts = 0.0, shownAmps = 0.0, shownWatts = 0.0;
    QString driverDir;
};
