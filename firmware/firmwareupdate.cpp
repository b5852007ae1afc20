#include "firmwareupdate.h"

#include "fwrewriter.h"
#include "modulesession.h"
#include "timefacility.h"

#include <QAbstractButton>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <new>

namespace {
// Closes the log of a failed rewrite, for the debug log's copy of it; the outcome itself travels
// as a result, never as a text to look for.
constexpr char failMark[] = "FAIL";
} // namespace

FirmwareUpdate::FirmwareUpdate(const Panel &panel) : panel(panel) {}

void FirmwareUpdate::run()
{
    stopPolling();
    const QString fileName = chooseFile();
    restartPolling();
    if (fileName.isEmpty())
        return;
    {
        QFile probe(fileName);
        if (!probe.open(QIODevice::ReadOnly))
            return;
    }

    stopPolling();
    setPanelEnabled(false);
    log.clear();
    FwRewriter rewriter(panel.session, fileName.toUtf8(), log);
    if (!rewriter.isLoaded()) {
        // Nothing was sent: the image never got into memory.
        showBox(QMessageBox::Critical, tr("Обновление встроенного ПО"), rewriter.loadError());
    } else if (operatorAgrees(rewriter)) {
        if (writeImage(rewriter) == Rewrite::Failed) {
            reportFailedWrite();
            return;
        }
        checkAfterRestart(rewriter);
    }
    restartPolling();
    setPanelEnabled(true);
}

QString FirmwareUpdate::chooseFile()
{
    return QFileDialog::getOpenFileName(
        panel.widget, tr("Выберите двоичный файл с новым ПО для записи"), QString(), tr("(*.bin)"));
}

// Asks only about an image that does not look like STM32F4 firmware or that the module already
// runs; any other image is written without a question.
bool FirmwareUpdate::operatorAgrees(FwRewriter &rewriter)
{
    QMessageBox question(QMessageBox::Question, tr("Обновление встроенного ПО"), QString(),
                         QMessageBox::Yes | QMessageBox::No);
    question.button(QMessageBox::Yes)->setText(tr("Да"));
    question.button(QMessageBox::No)->setText(tr("Нет"));
    question.setDefaultButton(QMessageBox::No);
    if (!rewriter.isStm32F4Image())
        question.setText(tr("Выбранный файл не является прошивкой STM32F4. Продолжить?"));
    else if (rewriter.compareWithFlash())
        question.setText(tr("Выбранный файл уже записан. Желаете перезаписать?"));
    else
        return true;
    return question.exec() == QMessageBox::Yes;
}

FirmwareUpdate::Rewrite FirmwareUpdate::writeImage(FwRewriter &rewriter)
{
    auto *progress =
        new QProgressDialog(tr("Запись прошивки в инструмент..."), QString(), 0, 0, panel.widget);
    progress->setWindowModality(Qt::WindowModal);
    progress->show();

    auto *thread = new QThread;
    QObject context;
    context.moveToThread(thread);
    FirmwareLog &messages = log;
    std::atomic<bool> failed{false};
    QObject::connect(thread, &QThread::started, &context, [&rewriter, &messages, &failed, thread] {
        bool written = false;
        try {
            written = rewriter.rewrite();
        } catch (const std::bad_alloc &) {
            // Escaping this thread it would end the program; the update ends as a failed write.
            messages.append(QT_TR_NOOP("Недостаточно памяти для записи прошивки."));
        }
        if (written)
            TimeFacility::instance().sleep(restartWaitMs); // the module is restarting
        else
            failed = true;
        if (!written)
            messages.append(failMark);
        thread->quit();
    });

    log.clear();
    log.append(QT_TR_NOOP("Подготовка данных."));
    thread->start();
    followProgress(*thread, *progress, failed);

    thread->deleteLater();
    progress->close();
    progress->deleteLater();
    return failed ? Rewrite::Failed : Rewrite::Written;
}

void FirmwareUpdate::followProgress(QThread &thread, QProgressDialog &progress,
                                    const std::atomic<bool> &failed)
{
    while (thread.isRunning()) {
        const QByteArray latest = log.latestMessage();
        // The dialog cannot be dismissed while the module is being written.
        if (progress.isHidden())
            progress.show();
        // A failed rewrite ends the thread at once; the label keeps the message before.
        if (failed)
            continue;
        progress.setLabelText(tr(latest.constData()));
        TimeFacility::instance().pause(labelRefreshMs);
    }
}

void FirmwareUpdate::reportFailedWrite()
{
    showBox(QMessageBox::Critical, tr("Ошибка"),
            tr("Запись прошивки завершена с ошибкой! Не удалось записать прошивку!"));
    restartPolling();
    setPanelEnabled(true);
    qDebug().noquote() << QString::fromUtf8(log.snapshot());
    panel.disconnectDevice();
}

// The module has restarted (5 s after the copy command plus 12 s): one new session, then the
// flash against the file and the panel's read-back and self-test status check. A module that
// has not come back is not compared: nothing could be read, so nothing can be said to differ.
void FirmwareUpdate::checkAfterRestart(FwRewriter &rewriter)
{
    if (!reopenSession()) {
        showBox(QMessageBox::Critical, tr("Ошибка"),
                tr("Инструмент после перезаписи прошивки не отзывается! Связь после перезапуска "
                   "не восстановлена, прошивка с файлом не сверена."));
        panel.disconnectDevice();
        return;
    }
    if (rewriter.compareWithFlash()) {
        showBox(QMessageBox::Information, tr("Обновление завершено"),
                tr("Запись прошивки завершена успешно."));
    } else {
        showBox(QMessageBox::Critical, tr("Ошибка"),
                tr("Запись прошивки завершена с ошибкой! Содержимое файла и памяти отличается!"));
        panel.disconnectDevice();
    }
    panel.settableDataUpdate();
    panel.selfTestStatusCheck();
}

// The debug window and the rewriter ask the session's owner for the handle at every call, so
// they follow the reopened session by themselves.
bool FirmwareUpdate::reopenSession()
{
    return panel.session.reopen(reopenTimeoutMs) == VI_SUCCESS && panel.session.isOpen();
}

void FirmwareUpdate::showBox(QMessageBox::Icon icon, const QString &title, const QString &text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, panel.widget);
    box.exec();
}

void FirmwareUpdate::stopPolling()
{
    if (panel.pollTimer)
        panel.pollTimer->stop();
}

void FirmwareUpdate::restartPolling()
{
    if (panel.pollTimer)
        panel.pollTimer->start(panel.pollInterval);
}

void FirmwareUpdate::setPanelEnabled(bool enabled)
{
    panel.widget->setEnabled(enabled);
    if (panel.debugPanel)
        panel.debugPanel->setEnabled(enabled);
}
