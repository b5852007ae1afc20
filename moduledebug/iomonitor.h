#pragma once

#include <QPointer>
#include <QWidget>

class IoExchangeModel;
class QScreen;
class QShowEvent;
class QSortFilterProxyModel;
class QTimer;

namespace Ui {
class IoMonitor;
}

// "Журнал обмена": every exchange with the module and the bench instruments, newest at the
// bottom, taken from the I/O record four times a second. The operator can show one
// instrument only, pause the list (the record goes on, and the list catches up on resume),
// clear it together with the record, and save the rows shown as text under a header.
//
// A window of its own, not a child of its owner: it stays usable (pause, filter, scroll,
// save) while its owner is disabled or under a window-modal dialog during a procedure. The
// owner places it on its screen and deletes it.
class IoMonitor : public QWidget
{
    Q_OBJECT

public:
    explicit IoMonitor(QWidget *owner);
    ~IoMonitor() override;

    // Takes in whatever was recorded since the last refresh, unless paused.
    void refresh();
    // The rows shown, one line each with tab-separated columns.
    QString shownText() const;
    // What a saved log holds: the header (program and version, date, the instruments with
    // their full names, which rows it holds), the column titles, then shownText().
    QString savedText() const;

private slots:
    void on_pauseButton_toggled(bool paused);
    void on_clearButton_clicked();
    void on_saveButton_clicked();
    void on_instrumentFilter_currentIndexChanged(int index);

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Makes the window fit into the screen's free area, moving it there if it lies outside.
    void fitOnScreen(const QScreen *screen);
    void noteInstrument(const QString &instrument);
    // The row of the record at the operator's place: the chosen row if it is in view, else
    // the topmost one in view; -1 when the view is empty or follows the newest row.
    int rowInView() const;
    // Puts the shown row nearest to the record's row at the top of the view.
    void bringToTop(int recordRow);

    QPointer<QWidget> owner;
    Ui::IoMonitor *ui;
    IoExchangeModel *exchanges;
    QSortFilterProxyModel *shown;
    QTimer *refreshTimer;
    quint64 takenUpTo = 0;
    bool placed = false;
};
