#include "widget.h"
#include "ui_widget.h"

#include "findlisthandle.h"
#include "instrumentprobe.h"
#include "programexit.h"
#include "rvka5630panel.h"

#include <QCloseEvent>
#include <QDebug>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QLabel>
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
    // A double-click connects; it must not also open an editor on the resource address.
    ui->devicesTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    discoveryNote = new QLabel(ui->mainPage);
    discoveryNote->setObjectName(QStringLiteral("discoveryNote"));
    discoveryNote->setWordWrap(true);
    discoveryNote->setTextFormat(Qt::PlainText);
    discoveryNote->hide();
    ui->verticalLayout->insertWidget(ui->verticalLayout->indexOf(ui->devicesTable) + 1,
                                     discoveryNote);
    makerName = QStringLiteral("Korvalis");
    versionSuffix = QStringLiteral(" v1.01");
    modelFilter = InstrumentProbe::moduleModel();
    placeQuery = InstrumentProbe::placementQuery();
    placeFormat = InstrumentProbe::placementFormat();
    setWindowTitle(tr("Панель управления модулями питания RVKA5630") + versionSuffix);

    if (viOpenDefaultRM(&defaultRM) != VI_SUCCESS) {
        defaultRM = VI_NULL;
        QMessageBox::critical(
            this, tr("Критическая ошибка"),
            tr("Не удалось создать общую структуру VISA!\nПродолжение работы невозможно."));
        terminateProgram(-1);
    }
}

Widget::~Widget()
{
    // Without an event loop after the close a panel may still wait for its deferred deletion;
    // its session belongs to the resource manager, which goes last.
    retirement.deleteAll();
    qDeleteAll(
        ui->stackedWidget->findChildren<Rvka5630panel *>(QString(), Qt::FindDirectChildrenOnly));
    qDebug("~Widget");
    if (defaultRM != VI_NULL)
        viClose(defaultRM);
    delete ui;
}

void Widget::closeEvent(QCloseEvent *event)
{
    onDeviceDisconnectClicked();
    QWidget::closeEvent(event);
}

void Widget::on_refreshInstrumentsListButton_clicked()
{
    auto findList = std::make_shared<FindListHandle>();
    const QFuture<DiscoverySurvey> probe =
        QtConcurrent::run(QThreadPool::globalInstance(), &InstrumentProbe::survey, defaultRM,
                          findList, modelFilter, placeQuery, placeFormat);
    QProgressDialog *progress = showSearchProgress();
    const bool finished = waitForProbe(probe, progress);
    // Each refresh makes its own dialog: kept, every one would stay with the window.
    progress->close();
    progress->deleteLater();
    if (!finished) {
        // The task notices the closed list at its next instrument; its rows are dropped.
        findList->close();
        return;
    }
    findList->close();
    const DiscoverySurvey survey = probe.result();
    fillDevicesTable(survey.rows);
    showDiscoveryNote(survey);
}

QProgressDialog *Widget::showSearchProgress()
{
    auto *progress = new QProgressDialog(tr("Поиск инструментов..."), tr("Отмена"), 0, 0, this);
    progress->setWindowTitle(QStringLiteral(" "));
    progress->setWindowModality(Qt::WindowModal);
    progress->show();
    return progress;
}

bool Widget::waitForProbe(const QFuture<DiscoverySurvey> &probe, QProgressDialog *progress)
{
    // Sleeps in the event loop until the task finishes or the operator cancels, so the GUI
    // stays responsive without spinning a core.
    QFutureWatcher<DiscoverySurvey> watcher;
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

void Widget::showDiscoveryNote(const DiscoverySurvey &survey)
{
    QStringList lines;
    if (survey.rows.isEmpty())
        lines << tr("Модули не найдены. Модули RVKA5630 ищутся широковещательным запросом VXI-11 "
                    "во всех сетях компьютера (VDVISA_BROADCAST=0 его отключает) и среди заданных "
                    "ресурсов: переменная окружения VDVISA_RESOURCES (строки VISA или адреса "
                    "через \";\") или файл ~/.config/vdvisa/resources, по одному ресурсу в "
                    "строке. Проверьте питание и подключение модулей и нажмите \"Обновить\".");
    int silent = 0;
    int otherModel = 0;
    QStringList details;
    for (const LeftOutResource &resource : survey.leftOut) {
        if (resource.reason == LeftOutResource::OtherModel) {
            ++otherModel;
            details << tr("%1: другая модель (%2)").arg(resource.address, resource.idn);
        } else {
            ++silent;
            details << tr("%1: нет ответа").arg(resource.address);
        }
    }
    if (!survey.leftOut.isEmpty())
        lines << tr("Не показаны найденные ресурсы: %1 из %2 (не ответили: %3, другой модели: "
                    "%4). Подробности - в подсказке этой строки.")
                     .arg(survey.leftOut.size())
                     .arg(survey.leftOut.size() + survey.rows.size())
                     .arg(silent)
                     .arg(otherModel);
    discoveryNote->setText(lines.join(QLatin1Char('\n')));
    discoveryNote->setToolTip(details.join(QLatin1Char('\n')));
    discoveryNote->setVisible(!lines.isEmpty());
}

void Widget::on_connectButton_clicked()
{
    const QList<QTableWidgetItem *> selected = ui->devicesTable->selectedItems();
    if (selected.isEmpty())
        return;
    auto *panel = new Rvka5630panel(selected.first()->text(), ui->stackedWidget);
    // Page 1, but not shown while it starts: its first polls send nothing, and a panel that
    // fails to start (it shows its own message) is taken down by the disconnect steps.
    ui->stackedWidget->addWidget(panel);
    connect(panel, &Rvka5630panel::disconnectDevice, this, &Widget::onDeviceDisconnectClicked,
            Qt::DirectConnection);
    panel->start(defaultRM);
    if (ui->stackedWidget->indexOf(panel) != 1)
        return;
    ui->stackedWidget->setCurrentWidget(panel);
    ui->headerLabel->setText(tr(panel->windowTitle().toUtf8().constData()));
}

void Widget::on_devicesTable_cellClicked(int, int)
{
    ui->connectButton->setEnabled(true);
}

void Widget::on_devicesTable_cellDoubleClicked(int, int)
{
    on_connectButton_clicked();
}

void Widget::onDeviceDisconnectClicked()
{
    // No panel hosted: later requests of a panel already taken down end here.
    if (ui->stackedWidget->count() < 2)
        return;
    QWidget *panel = ui->stackedWidget->widget(1);
    ui->stackedWidget->setCurrentIndex(0);
    ui->stackedWidget->removeWidget(panel);
    // Later requests of a panel on its way out must not reach the next panel.
    disconnect(panel, nullptr, this, nullptr);
    // The panel may be inside one of its own slots or message boxes right now.
    retirement.retire(panel);
    ui->headerLabel->setText(tr(makerName.toUtf8().constData()));
}
