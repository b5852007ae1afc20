#include "widget.h"
#include "ui_widget.h"

#include "findlisthandle.h"
#include "instrumentprobe.h"
#include "programexit.h"
#include "rvka5630panel.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTableWidgetItem>
#include <QThreadPool>
#include <QtConcurrent>

#include <utility>

// The program is a static library plus its entry point: the logo is linked in only when
// its resource is referenced (from the global namespace, where the resource's symbol lives).
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

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
    // A search still running stops at its next instrument instead of questioning the rest.
    cancelSearch();
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
    // One search at a time; its window-modal busy dialog keeps the operator off the button.
    if (searching())
        return;
    searchList = std::make_shared<FindListHandle>();
    searchWatcher = new QFutureWatcher<DiscoverySurvey>(this);
    connect(searchWatcher, &QFutureWatcherBase::finished, this, &Widget::onSearchFinished);
    searchWatcher->setFuture(QtConcurrent::run(QThreadPool::globalInstance(),
                                               &InstrumentProbe::survey, defaultRM, searchList,
                                               modelFilter, placeQuery, placeFormat));
    searchProgress = showSearchProgress();
    connect(searchProgress, &QProgressDialog::canceled, this, &Widget::cancelSearch);
    connect(searchProgress, &QDialog::finished, this, &Widget::cancelSearch);
    // Hidden some other way than by its button, the dialog no longer offers a cancel: the
    // search counts as cancelled then, rather than filling the table behind the operator.
    searchProgress->installEventFilter(this);
}

QProgressDialog *Widget::showSearchProgress()
{
    auto *progress = new QProgressDialog(tr("Поиск инструментов..."), tr("Отмена"), 0, 0, this);
    progress->setWindowTitle(QStringLiteral(" "));
    progress->setWindowModality(Qt::WindowModal);
    progress->show();
    return progress;
}

bool Widget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == searchProgress && event->type() == QEvent::Hide)
        cancelSearch();
    return QWidget::eventFilter(watched, event);
}

void Widget::onSearchFinished()
{
    const DiscoverySurvey survey = searchWatcher->result();
    endSearch();
    fillDevicesTable(survey.rows);
    showDiscoveryNote(survey);
    emit instrumentsListed();
}

void Widget::cancelSearch()
{
    // The task notices the closed list at its next instrument; its rows are dropped.
    if (searching())
        endSearch();
}

void Widget::endSearch()
{
    // Each search makes its own dialog and watcher: kept, every one would stay with the window.
    // A cancelled task runs on until its probes have closed their sessions, unwatched.
    QProgressDialog *progress = std::exchange(searchProgress, nullptr);
    progress->removeEventFilter(this);
    disconnect(progress, nullptr, this, nullptr);
    progress->close();
    progress->deleteLater();
    std::exchange(searchList, nullptr)->close();
    QFutureWatcher<DiscoverySurvey> *watcher = std::exchange(searchWatcher, nullptr);
    disconnect(watcher, nullptr, this, nullptr);
    watcher->deleteLater();
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
    // Nothing runs an event loop of its own inside the panel's code: the panel goes once
    // control is back in the main loop, after whichever of its slots asked for this.
    panel->hide();
    panel->deleteLater();
    ui->headerLabel->setText(tr(makerName.toUtf8().constData()));
}
