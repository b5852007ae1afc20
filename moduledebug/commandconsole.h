#pragma once

#include "consolehistory.h"

#include <QByteArray>
#include <QPointer>
#include <QWidget>

struct ConsoleExchange;
class ModuleThread;
class QListWidgetItem;

namespace Ui {
class CommandConsole;
}

// "Консоль": a line typed here goes to the module as it stands, a query (see
// ConsoleExchange::isQuery) has its reply shown, and every exchange shows its time, status and
// duration. The calls go to the module's thread in turn with the windows' polls. A call that
// fails is shown and nothing more: only a link found gone is reported, through linkLost().
// The up and down keys walk the history, which the filter searches; the output can be
// copied and saved, and the data of the last block reply saved on its own.
class CommandConsole : public QWidget
{
    Q_OBJECT

public:
    CommandConsole(ModuleThread &thread, QWidget *owner);
    ~CommandConsole() override;

    // What the output shows, one exchange after the other.
    QString outputText() const;

signals:
    void linkLost();

private slots:
    void on_consoleInput_returnPressed();
    void on_sendButton_clicked();
    void on_historyFilter_textChanged(const QString &text);
    void on_historyList_itemActivated(QListWidgetItem *item);
    void on_saveBlockButton_clicked();
    void on_copyButton_clicked();
    void on_saveButton_clicked();
    void on_clearButton_clicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void send();
    void showExchange(const ConsoleExchange &exchange);
    // step -1 is the line before, +1 the one after; past the newest the typed line returns.
    void walkHistory(int step);

    Ui::CommandConsole *ui;
    QPointer<ModuleThread> module;
    ConsoleHistory history;
    int historyPosition = -1; // the line of the history shown while walking it; -1: none
    QString draft;            // what was typed before the walk began
    QByteArray lastBlock;
};
