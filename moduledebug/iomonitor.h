#pragma once

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
// clear it together with the record, and save the rows shown as text.
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

    Ui::IoMonitor *ui;
    IoExchangeModel *exchanges;
    QSortFilterProxyModel *shown;
    QTimer *refreshTimer;
    quint64 takenUpTo = 0;
    bool placed = false;
};
