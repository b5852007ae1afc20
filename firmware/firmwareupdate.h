#pragma once

#include "firmwarelog.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>

#include <atomic>

#include <functional>

class FwRewriter;
class ModuleSession;
class QProgressDialog;
class QThread;
class QTimer;
class QWidget;

// The operator's firmware update of one module panel: choose an image file, confirm an unusual
// or already installed image, rewrite the module's flash on a thread of its own while a
// progress dialog follows the latest message, then reopen the panel's session after the
// module's restart and compare its flash with the file.
//
// The update owns the panel's session from the moment the image is loaded: the panel and its
// debug window are disabled and the polling timer stopped, so nothing else on the GUI thread
// talks to the module while the update thread does.
class FirmwareUpdate
{
    Q_DECLARE_TR_FUNCTIONS(FirmwareUpdate)

public:
    // What the update uses of the module panel.
    struct Panel
    {
        QWidget *widget;        // parent of the dialogs; disabled while the update runs
        ModuleSession &session; // closed and reopened after the restart
        QTimer *pollTimer;
        int pollInterval;
        QWidget *debugPanel; // disabled with the panel
        std::function<void()> settableDataUpdate;
        std::function<void()> selfTestStatusCheck;
        std::function<void()> disconnectDevice;
    };

    // The module needs this long after its restart warning before it takes a new session.
    static constexpr int restartWaitMs = 12000;
    static constexpr int labelRefreshMs = 100;
    static constexpr int reopenTimeoutMs = 1000;

    explicit FirmwareUpdate(const Panel &panel);
    FirmwareUpdate(const FirmwareUpdate &) = delete;
    FirmwareUpdate &operator=(const FirmwareUpdate &) = delete;

    // The whole flow, on the GUI thread; returns when the operator has seen its outcome.
    void run();

private:
    QString chooseFile();
    bool operatorAgrees(FwRewriter &rewriter);
    enum class Rewrite
    {
        Written,
        Failed,
    };
    // Runs the rewrite on the update thread and tells how it went.
    Rewrite writeImage(FwRewriter &rewriter);
    void followProgress(QThread &thread, QProgressDialog &progress,
                        const std::atomic<bool> &failed);
    void reportFailedWrite();
    void checkAfterRestart(FwRewriter &rewriter);
    bool reopenSession();
    void showBox(QMessageBox::Icon icon, const QString &title, const QString &text);

    void stopPolling();
    void restartPolling();
    void setPanelEnabled(bool enabled);

    Panel panel;
    FirmwareLog log;
};
