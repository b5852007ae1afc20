#include "widget.h"
#include "ui_widget.h"

#include "defaultresourcemanager.h"
#include "findlisthandle.h"
#include "instrumentprobe.h"
#include "programexit.h"

#include <visa.h>

#include <QCloseEvent>
#include <QDebug>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTableWidgetItem>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent>

#include <memory>

// The program is a static library plus its entry point: the logo is linked in only when
// its resource is referenced (from the global namespace, where the resource's symbol lives).
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {
// Longest stretch the discovery wait sleeps before it looks at the progress dialog again
// (a dialog hidden without its cancel signal is noticed within this time).
constexpr int probeCheckMs = 100;
} // namespace

Widget::Widget(QWidget *parent) : QWidget(parent), ui(new Ui::Widget)
{
    initResources();
    ui->setupUi(this);
    makerName = QStringLiteral("Korvalis");
    versionSuffix = QStringLiteral(" v1.01");
    modelFilter = QStringLiteral("RVKA5630");
    placeQuery = QStringLiteral("CONF:PLACEID?;ADDRID?;SWITCHID?");
    placeFormat = QStringLiteral("PLACEID: %s; ADDRID: %s; SWITCHID: %s");
    setWindowTitle(tr("Панель управления модулями питания RVKA5630") + versionSuffix);

    ViSession resourceManager = VI_NULL;
    if (viOpenDefaultRM(&resourceManager) != VI_SUCCESS) {
        QMessageBox::critical(
            this, tr("Критическая ошибка"),
            tr("Не удалось создать общую структуру VISA!\nПродолжение работы невозможно."));
        terminateProgram(-1);
        return;
    }
    setDefaultResourceManager(resourceManager);
}

Widget::~Widget()
{
    qDebug("~Widget");
    const ViSession resourceManager = defaultResourceManager();
    if (resourceManager != VI_NULL) {
        setDefaultResourceManager(VI_NULL);
        viClose(resourceManager);
    }
    delete ui;
}

void Widget::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
}

void Widget::on_refreshInstrumentsListButton_clicked()
{
    auto findList = std::make_shared<FindListHandle>();
    const QFuture<QVector<modRow>> probe =
        QtConcurrent::run(QThreadPool::globalInstance(), &InstrumentProbe::run,
                          defaultResourceManager(), findList, modelFilter, placeQuery, placeFormat);
    QProgressDialog *progress = showSearchProgress();
    if (!waitForProbe(probe, progress)) {
        // The task notices the closed list at its next instrument; its rows are dropped.
        findList->close();
        return;
    }
    progress->close();
    findList->close();
    fillDevicesTable(probe.result());
}

QProgressDialog *Widget::showSearchProgress()
{
    auto *progress = new QProgressDialog(tr("Поиск инструментов..."), tr("Отмена"), 0, 0, this);
    progress->setWindowTitle(QStringLiteral(" "));
    progress->setWindowModality(Qt::WindowModal);
    progress->show();
    return progress;
}

bool Widget::waitForProbe(const QFuture<QVector<modRow>> &probe, QProgressDialog *progress)
{
    // Sleeps in the event loop until the task finishes or the operator cancels, so the GUI
    // stays responsive without spinning a core.
    QFutureWatcher<QVector<modRow>> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    connect(progress, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
    connect(progress, &QDialog::finished, &loop, &QEventLoop::quit);
    QTimer check;
    connect(&check, &QTimer::timeout, &loop, &QEventLoop::quit);
    check.start(probeCheckMs);
    watcher.setFuture(probe);
    while (probe.isRunning()) {
        if (progress->isHidden())
            return false;
        loop.exec();
    }
    return true;
}

void Widget::fillDevicesTable(const QVector<modRow> &rows)
{
    QTableWidget *table = ui->devicesTable;
    table->clearContents();
    table->setRowCount(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        // Sorting after each row keeps the filled rows at the top, so row i is still empty.
        table->setItem(i, 0, new QTableWidgetItem(rows[i].address));
        table->setItem(i, 1, new QTableWidgetItem(rows[i].idn));
        table->setItem(i, 2, new QTableWidgetItem(rows[i].info));
        table->sortItems(1, Qt::AscendingOrder);
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    }
}

void Widget::on_connectButton_clicked() {}

void Widget::on_devicesTable_cellClicked(int, int)
{
    ui->connectButton->setEnabled(true);
}

void Widget::on_devicesTable_cellDoubleClicked(int, int) {}

void Widget::onDeviceDisconnectClicked() {}
