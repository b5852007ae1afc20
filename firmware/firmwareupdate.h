#pragma once

#include "firmwarelog.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class FwRewriter;
class ModuleThread;
class QProgressDialog;
class QTimer;
class QWidget;

// The operator's firmware update of one module panel: choose an image file, confirm an unusual
// or already installed image, rewrite the module's flash on the module's thread while a
// progress dialog follows the latest message, then reopen the panel's session after the
// module's restart and compare its flash with the file, there too.
//
// The update owns the panel's session from the moment the image is loaded: the panel and its
// debug window are disabled and the polling timer stopped, so nothing else is handed to the
// module's thread while the update's work runs there.
class FirmwareUpdate : public std::enable_shared_from_this<FirmwareUpdate>
{
    Q_DECLARE_TR_FUNCTIONS(FirmwareUpdate)

public:
    // What the update uses of the module panel.
    struct Panel
    {
        QWidget *widget;      // parent of the dialogs; disabled while the update runs
        ModuleThread &module; // its session is closed and reopened after the restart
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
    ~FirmwareUpdate();
    FirmwareUpdate(const FirmwareUpdate &) = delete;
    FirmwareUpdate &operator=(const FirmwareUpdate &) = delete;

    // Starts the flow: the file question now, the rest as the module's work comes back. The
    // update keeps itself until the operator has seen its outcome.
    static void start(const Panel &panel);

private:
    enum class Question
    {
        None,
        NotStm32F4,
        AlreadyWritten,
    };
    enum class Rewrite
    {
        Written,
        Failed,
    };
    enum class Restart
    {
        Unreachable,
        Differs,
        Same,
    };

    void run();
    void load(const QString &fileName);
    void askAndWrite(Question question);
    // Hands the rewrite (and the wait for the module's restart) to the module's thread while
    // the progress dialog follows the log.
    void writeImage();
    void followProgress();
    void written(Rewrite rewrite);
    void reportFailedWrite();
    void checkedAfterRestart(Restart restart);
    void showBox(QMessageBox::Icon icon, const QString &title, const QString &text,
                 std::function<void()> then);
    void resume();
    void finish();

    void stopPolling();
    void restartPolling();
    void setPanelEnabled(bool enabled);

    Panel panel;
    FirmwareLog log;
    std::unique_ptr<FwRewriter> rewriter;
    // The panel's children: gone with it, should it go while the update's work is out.
    QPointer<QProgressDialog> progress;
    QPointer<QTimer> labelRefresh;
};
