#include "commandconsole.h"

#include "consolelink.h"
#include "filesave.h"
#include "modulethread.h"
#include "savefiledialog.h"
#include "ui_commandconsole.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

namespace {
// Lines of output kept; the oldest go first.
constexpr int outputLines = 20000;
} // namespace

CommandConsole::CommandConsole(ModuleThread &thread, QWidget *owner)
    : QWidget(owner, Qt::Window), ui(new Ui::CommandConsole), module(&thread)
{
    ui->setupUi(this);
    ui->consoleOutput->setMaximumBlockCount(outputLines);
    ui->consoleInput->installEventFilter(this);
    ui->splitter->setStretchFactor(0, 3);
    ui->splitter->setStretchFactor(1, 1);
    on_historyFilter_textChanged(QString());
}

CommandConsole::~CommandConsole()
{
    delete ui;
}

QString CommandConsole::outputText() const
{
    return ui->consoleOutput->toPlainText();
}

void CommandConsole::on_consoleInput_returnPressed()
{
    send();
}

void CommandConsole::on_sendButton_clicked()
{
    send();
}

void CommandConsole::send()
{
    const QString line = ui->consoleInput->text().trimmed();
    if (line.isEmpty() || !module)
        return;
    history.add(line);
    on_historyFilter_textChanged(ui->historyFilter->text());
    historyPosition = -1;
    ui->consoleInput->clear();
    module->run(
        this,
        [text = line.toUtf8(), readErrors = ui->errorQueueCheck->isChecked()](
            ModuleSession &session) { return ConsoleLink::exchange(session, text, readErrors); },
        [this](const ConsoleExchange &done) { showExchange(done); });
}

void CommandConsole::showExchange(const ConsoleExchange &exchange)
{
    ui->consoleOutput->appendPlainText(exchange.text());
    if (exchange.isBlock()) {
        lastBlock = exchange.blockData();
        ui->saveBlockButton->setEnabled(true);
    }
    // An experiment that fails is the operator's to judge; a link that is gone ends the panel.
    if (exchange.linkLost())
        emit linkLost();
}

bool CommandConsole::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->consoleInput && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            walkHistory(key == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CommandConsole::walkHistory(int step)
{
    const QStringList lines = history.lines();
    if (lines.isEmpty() || (historyPosition < 0 && step > 0))
        return;
    if (historyPosition < 0) {
        draft = ui->consoleInput->text();
        historyPosition = lines.size();
    }
    historyPosition = qBound(0, historyPosition + step, lines.size());
    if (historyPosition == lines.size()) {
        ui->consoleInput->setText(draft);
        historyPosition = -1;
    } else {
        ui->consoleInput->setText(lines.at(historyPosition));
    }
}

void CommandConsole::on_historyFilter_textChanged(const QString &text)
{
    ui->historyList->clear();
    ui->historyList->addItems(history.matching(text));
    ui->historyList->scrollToBottom();
}

void CommandConsole::on_historyList_itemActivated(QListWidgetItem *item)
{
    ui->consoleInput->setText(item->text());
    ui->consoleInput->setFocus();
    historyPosition = -1;
}

void CommandConsole::on_saveBlockButton_clicked()
{
    SaveFileDialog::save(this, tr("Сохранить блок"), QString(), tr("Все файлы (*)"),
                         [data = lastBlock](const QString &path) { return saveFile(path, data); });
}

void CommandConsole::on_copyButton_clicked()
{
    QString selected = ui->consoleOutput->textCursor().selectedText();
    // The selection names its line ends with U+2029.
    QApplication::clipboard()->setText(
        selected.isEmpty() ? outputText() : selected.replace(QChar::ParagraphSeparator, '\n'));
}

void CommandConsole::on_saveButton_clicked()
{
    SaveFileDialog::save(this, tr("Сохранить вывод консоли"), QString(), tr("Текст (*.txt)"),
                         [this](const QString &path) {
                             return saveFile(path, (outputText() + QLatin1Char('\n')).toUtf8());
                         });
}

void CommandConsole::on_clearButton_clicked()
{
    ui->consoleOutput->clear();
}
