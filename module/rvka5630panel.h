#pragma once

#include "modulesession.h"
#include "modulethread.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QTimer;
class ReadingChart;
class ReadingLog;
class Rvka5630Debug;

namespace Ui {
class Rvka5630;
}

// The operator panel of one RVKA5630 power module, hosted as a page of the main window. It
// owns its VISA session and its debug window, polls the module every pollInterval while it is
// shown and enabled, and asks to be closed with disconnectDevice() whenever the module fails a
// command (or its session cannot be opened at all).
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
    // creates the debug window, in this order. A panel that cannot start shows its own
    // message, if any, asks to be closed and goes no further; while not shown yet, its polls
    // send nothing.
    void start(ViSession resourceManager);

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
    bool findDriverFiles();
    void prepareForm();
    bool openSession(ViSession resourceManager);
    bool readLimits();
    void startPolling();
    void startDebugPanel();
    // The work of the read-back and the poll; false once the module failed and the panel has
    // asked to be closed.
    bool refreshSettings();
    bool refreshMeasurements();
    // False once the panel has asked to be closed or is gone.
    bool selfTestStatusCheck();
    void runSelfTest();
    void saveSelfTestReport();

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
    // A child of the panel (tests find it there); stopped when the panel goes.
    ModuleThread moduleThread{this};
    ModuleSession &session = moduleThread.session();
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
