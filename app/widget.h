#pragma once

#include "discoverysurvey.h"
#include "modrow.h"

#include <visa.h>

#include <QString>
#include <QVector>
#include <QWidget>

#include <memory>

class FindListHandle;
class QCloseEvent;
class QLabel;
class QProgressDialog;
template <typename T>
class QFutureWatcher;

namespace Ui {
class Widget;
}

// The program's main window: the maker's header, the list of RVKA5630 modules found on the
// LAN and, on the second page of its stack, the panel of the connected module. It owns the
// process-wide VISA resource manager for its whole life and hands it to the discovery and to
// each panel it starts.
class Widget : public QWidget
{
    Q_OBJECT

public:
    explicit Widget(QWidget *parent = nullptr);
    ~Widget() override;

    // VI_NULL when it could not be opened.
    ViSession resourceManager() const { return defaultRM; }
    // From "Обновить" until its instruments are listed or the operator cancels the search.
    bool searching() const { return searchWatcher != nullptr; }

signals:
    // A search has come back and the table shows what it found (a cancelled one sends none).
    void instrumentsListed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void closeEvent(QCloseEvent *event) override;
    void on_refreshInstrumentsListButton_clicked();
    void on_connectButton_clicked();
    void on_devicesTable_cellClicked(int row, int column);
    void on_devicesTable_cellDoubleClicked(int row, int column);
    void onDeviceDisconnectClicked();

private:
    QProgressDialog *showSearchProgress();
    void onSearchFinished();
    // The operator cancelled, or the busy dialog went away: the task's rows are dropped.
    void cancelSearch();
    // Closes the busy dialog and the find list and forgets the task.
    void endSearch();
    void fillDevicesTable(const QVector<modRow> &rows);
    // Under the table, no box to dismiss: how modules are found when none was, and what the
    // refresh left out.
    void showDiscoveryNote(const DiscoverySurvey &survey);

    Ui::Widget *ui;
    QString makerName;
    QString versionSuffix;
    QString modelFilter;
    QString placeQuery;
    QString placeFormat;
    ViSession defaultRM = VI_NULL;
    QLabel *discoveryNote = nullptr;
    // The search under way, if any: its task's watcher, its find list and its busy dialog.
    QFutureWatcher<DiscoverySurvey> *searchWatcher = nullptr;
    std::shared_ptr<FindListHandle> searchList;
    QProgressDialog *searchProgress = nullptr;
    // Panels taken down and waiting until nothing of theirs runs any more.
};
