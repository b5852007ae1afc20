#include "firmwareupdate.h"

#include "fwrewriter.h"
#include "modaldialog.h"
#include "modulesession.h"
#include "modulethread.h"
#include "timefacility.h"

#include <QAbstractButton>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <new>

namespace {
// Closes the log of a failed rewrite, for the debug log's copy of it; the outcome itself travels
// as a result, never as a text to look for.
constexpr char failMark[] = "FAIL";
} // namespace

FirmwareUpdate::FirmwareUpdate(const Panel &panel) : panel(panel) {}

FirmwareUpdate::~FirmwareUpdate()
{
    delete progress.data();
}

void FirmwareUpdate::start(const Panel &panel)
{
    std::make_shared<FirmwareUpdate>(panel)->run();
}

void FirmwareUpdate::run()
{
    stopPolling();
    auto *dialog = new QFileDialog(panel.widget, tr("Выберите двоичный файл с новым ПО для записи"),
                                   QString(), tr("(*.bin)"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    const QPointer<QFileDialog> asked(dialog);
    ModalDialog::open(dialog, panel.widget, [update = shared_from_this(), asked](int result) {
        update->restartPolling();
        if (result == QDialog::Accepted && asked)
            update->load(asked->selectedFiles().value(0));
    });
}

void FirmwareUpdate::load(const QString &fileName)
{
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
    rewriter = std::make_unique<FwRewriter>(panel.module.session(), fileName.toUtf8(), log);
    if (!rewriter->isLoaded()) {
        // Nothing was sent: the image never got into memory.
        showBox(QMessageBox::Critical, tr("Обновление встроенного ПО"), rewriter->loadError(),
                [this] { finish(); });
        return;
    }
    // Only an image that does not look like STM32F4 firmware, or one that the module already
    // runs, is asked about; any other image is written without a question.
    FwRewriter *const image = rewriter.get();
    panel.module.run(
        panel.widget,
        [image](ModuleSession &) {
            if (!image->isStm32F4Image())
                return Question::NotStm32F4;
            return image->compareWithFlash() ? Question::AlreadyWritten : Question::None;
        },
        [update = shared_from_this()](Question question) { update->askAndWrite(question); });
}

void FirmwareUpdate::askAndWrite(Question asked)
{
    if (asked == Question::None) {
        writeImage();
        return;
    }
    auto *question = new QMessageBox(QMessageBox::Question, tr("Обновление встроенного ПО"),
                                     QString(), QMessageBox::Yes | QMessageBox::No, panel.widget);
    question->button(QMessageBox::Yes)->setText(tr("Да"));
    question->button(QMessageBox::No)->setText(tr("Нет"));
    question->setDefaultButton(QMessageBox::No);
    question->setText(asked == Question::NotStm32F4
                          ? tr("Выбранный файл не является прошивкой STM32F4. Продолжить?")
                          : tr("Выбранный файл уже записан. Желаете перезаписать?"));
    ModalDialog::ask(question, panel.widget,
                     [update = shared_from_this()](QMessageBox::StandardButton answer) {
                         if (answer == QMessageBox::Yes)
                             update->writeImage();
                         else
                             update->finish();
                     });
}

void FirmwareUpdate::writeImage()
{
    progress =
        new QProgressDialog(tr("Запись прошивки в инструмент..."), QString(), 0, 0, panel.widget);
    progress->setWindowModality(Qt::WindowModal);
    progress->show();
    labelRefresh = new QTimer(progress);
    QObject::connect(labelRefresh, &QTimer::timeout, progress,
                     [update = weak_from_this()] {
                         if (const auto running = update.lock())
                             running->followProgress();
                     });
    labelRefresh->start(TimeFacility::instance().timeout(labelRefreshMs));

    log.clear();
    log.append(QT_TR_NOOP("Подготовка данных."));
    FwRewriter *const image = rewriter.get();
    FirmwareLog *const messages = &log;
    panel.module.run(
        panel.widget,
        [image, messages](ModuleSession &) {
            bool written = false;
            try {
                written = image->rewrite();
            } catch (const std::bad_alloc &) {
                // Escaping the module's thread it would end the program; the update ends as a
                // failed write.
                messages->append(QT_TR_NOOP("Недостаточно памяти для записи прошивки."));
            }
            if (!written) {
                messages->append(failMark);
                return Rewrite::Failed;
            }
            TimeFacility::instance().sleep(restartWaitMs); // the module is restarting
            return Rewrite::Written;
        },
        [update = shared_from_this()](Rewrite rewrite) { update->written(rewrite); });
}

// The dialog cannot be dismissed while the module is being written; its label follows the
// latest message of the rewrite.
void FirmwareUpdate::followProgress()
{
    if (!progress)
        return;
    if (progress->isHidden())
        progress->show();
    progress->setLabelText(tr(log.latestMessage().constData()));
}

void FirmwareUpdate::written(Rewrite rewrite)
{
    delete progress.data();
    if (rewrite == Rewrite::Failed) {
        reportFailedWrite();
        return;
    }
    // The module has restarted (5 s after the copy command plus 12 s): one new session, then
    // the flash against the file. A module that has not come back is not compared: nothing
    // could be read, so nothing can be said to differ. The debug window and the rewriter ask
    // the session's owner for the handle at every call, so they follow the reopened session
    // by themselves.
    FwRewriter *const image = rewriter.get();
    panel.module.run(
        panel.widget,
        [image](ModuleSession &session) {
            if (session.reopen(reopenTimeoutMs) != VI_SUCCESS || !session.isOpen())
                return Restart::Unreachable;
            return image->compareWithFlash() ? Restart::Same : Restart::Differs;
        },
        [update = shared_from_this()](Restart restart) { update->checkedAfterRestart(restart); });
}

void FirmwareUpdate::reportFailedWrite()
{
    showBox(QMessageBox::Critical, tr("Ошибка"),
            tr("Запись прошивки завершена с ошибкой! Не удалось записать прошивку!"), [this] {
                finish();
                qDebug().noquote() << QString::fromUtf8(log.snapshot());
                panel.disconnectDevice();
            });
}

void FirmwareUpdate::checkedAfterRestart(Restart restart)
{
    switch (restart) {
    case Restart::Unreachable:
        showBox(QMessageBox::Critical, tr("Ошибка"),
                tr("Инструмент после перезаписи прошивки не отзывается! Связь после перезапуска "
                   "не восстановлена, прошивка с файлом не сверена."),
                [this] {
                    panel.disconnectDevice();
                    finish();
                });
        return;
    case Restart::Same:
        showBox(QMessageBox::Information, tr("Обновление завершено"),
                tr("Запись прошивки завершена успешно."), [this] { resume(); });
        return;
    case Restart::Differs:
        showBox(QMessageBox::Critical, tr("Ошибка"),
                tr("Запись прошивки завершена с ошибкой! Содержимое файла и памяти отличается!"),
                [this] {
                    panel.disconnectDevice();
                    resume();
                });
        return;
    }
}

// The panel reads the module's settings and self-test status anew and goes on as before.
void FirmwareUpdate::resume()
{
    panel.settableDataUpdate();
    panel.selfTestStatusCheck();
    finish();
}

// then() runs once the box is closed, with the update kept until then; it goes with the panel.
void FirmwareUpdate::showBox(QMessageBox::Icon icon, const QString &title, const QString &text,
                             std::function<void()> then)
{
    auto *box = new QMessageBox(icon, title, text, QMessageBox::Ok, panel.widget);
    ModalDialog::open(box, panel.widget,
                      [update = shared_from_this(), then = std::move(then)](int) { then(); });
}

// The panel and its poll as they were before the update.
void FirmwareUpdate::finish()
{
    restartPolling();
    setPanelEnabled(true);
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
