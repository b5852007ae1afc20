#include "iomonitor.h"

#include "filesave.h"
#include "ioexchangemodel.h"
#include "iorecorder.h"
#include "savefiledialog.h"
#include "timefacility.h"
#include "ui_iomonitor.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTimer>

namespace {
const int refreshIntervalMs = 250;
} // namespace

IoMonitor::IoMonitor(QWidget *owner)
    : QWidget(nullptr, Qt::Window), owner(owner), ui(new Ui::IoMonitor),
      exchanges(new IoExchangeModel(this)), shown(new QSortFilterProxyModel(this)),
      refreshTimer(new QTimer(this))
{
    ui->setupUi(this);
    ui->instrumentFilter->addItem(tr("Все приборы"));
    shown->setSourceModel(exchanges);
    shown->setFilterKeyColumn(IoExchangeModel::Instrument);
    ui->exchangeTable->setModel(shown);
    ui->exchangeTable->verticalHeader()->hide();
    ui->exchangeTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    ui->exchangeTable->horizontalHeader()->setSectionResizeMode(IoExchangeModel::Bytes,
                                                                QHeaderView::Stretch);
    for (int column :
         {IoExchangeModel::Time, IoExchangeModel::Direction, IoExchangeModel::Duration})
        ui->exchangeTable->horizontalHeader()->setSectionResizeMode(column,
                                                                    QHeaderView::ResizeToContents);
    ui->exchangeTable->setColumnWidth(IoExchangeModel::Instrument, 260);
    ui->exchangeTable->setColumnWidth(IoExchangeModel::Outcome, 150);
    connect(refreshTimer, &QTimer::timeout, this, [this] {
        if (isVisible())
            refresh();
    });
    refreshTimer->start(refreshIntervalMs);
    refresh();
}

void IoMonitor::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Placed once its frame is known; later the operator's own placing stands.
    if (placed)
        return;
    placed = true;
    fitOnScreen(owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen());
}

void IoMonitor::fitOnScreen(const QScreen *screen)
{
    // The form's size suits a large desktop; on a small screen the window would reach below
    // its edge, out of the operator's reach.
    if (!screen)
        return;
    const QRect inner = geometry(), outer = frameGeometry();
    const QRect area = screen->availableGeometry().marginsRemoved(
        QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                 outer.right() - inner.right(), outer.bottom() - inner.bottom()));
    QRect placed(geometry().topLeft(), size().boundedTo(area.size()));
    if (!area.contains(placed))
        placed.moveCenter(area.center());
    setGeometry(placed);
}

IoMonitor::~IoMonitor()
{
    delete ui;
}

void IoMonitor::refresh()
{
    if (ui->pauseButton->isChecked())
        return;
    const QVector<IoExchange> taken = IoRecorder::instance().since(takenUpTo);
    if (taken.isEmpty())
        return;
    takenUpTo = taken.last().number;
    QScrollBar *scroll = ui->exchangeTable->verticalScrollBar();
    const bool atBottom = scroll->value() == scroll->maximum();
    exchanges->append(taken);
    for (const IoExchange &exchange : taken)
        noteInstrument(exchange.instrument);
    if (atBottom)
        ui->exchangeTable->scrollToBottom();
}

void IoMonitor::noteInstrument(const QString &instrument)
{
    if (ui->instrumentFilter->findText(instrument, Qt::MatchExactly) < 0)
        ui->instrumentFilter->addItem(instrument);
}

void IoMonitor::on_instrumentFilter_currentIndexChanged(int index)
{
    // The operator's place stays in view: a filter is a way of looking, not a new list.
    const int place = rowInView();
    const QString instrument = ui->instrumentFilter->itemText(index);
    shown->setFilterRegularExpression(
        index <= 0 ? QString()
                   : QStringLiteral("^%1$").arg(QRegularExpression::escape(instrument)));
    ui->exchangeTable->doItemsLayout();
    if (place < 0)
        ui->exchangeTable->scrollToBottom();
    else
        bringToTop(place);
}

int IoMonitor::rowInView() const
{
    const QTableView *table = ui->exchangeTable;
    const QScrollBar *scroll = table->verticalScrollBar();
    const QModelIndex current = table->currentIndex();
    if (current.isValid() && table->viewport()->rect().intersects(table->visualRect(current)))
        return shown->mapToSource(current).row();
    if (scroll->value() == scroll->maximum())
        return -1;
    const QModelIndex top = table->indexAt(QPoint(0, 0));
    return top.isValid() ? shown->mapToSource(top).row() : -1;
}

void IoMonitor::bringToTop(int recordRow)
{
    // The row itself, else the next shown after it, else the last shown before it.
    QModelIndex target;
    for (int row = recordRow; row < exchanges->rowCount() && !target.isValid(); ++row)
        target = shown->mapFromSource(exchanges->index(row, 0));
    for (int row = recordRow - 1; row >= 0 && !target.isValid(); --row)
        target = shown->mapFromSource(exchanges->index(row, 0));
    if (target.isValid())
        ui->exchangeTable->scrollTo(target, QAbstractItemView::PositionAtTop);
}

void IoMonitor::on_pauseButton_toggled(bool paused)
{
    if (!paused)
        refresh();
}

void IoMonitor::on_clearButton_clicked()
{
    IoRecorder::instance().clear();
    exchanges->clear();
}

QString IoMonitor::shownText() const
{
    QString text;
    for (int row = 0; row < shown->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < IoExchangeModel::ColumnCount; ++column)
            cells << shown->index(row, column).data().toString();
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

QString IoMonitor::savedText() const
{
    QStringList lines;
    lines << tr("Журнал обмена voltaDesk %1").arg(QStringLiteral(VOLTADESK_VERSION))
          << tr("Сохранён: %1")
                 .arg(TimeFacility::instance().currentDateTime().toString(
                     QStringLiteral("yyyy-MM-dd HH:mm:ss t")))
          << tr("Приборы:");
    for (int i = 1; i < ui->instrumentFilter->count(); ++i)
        lines << QStringLiteral("  ") + ui->instrumentFilter->itemText(i);
    const int index = ui->instrumentFilter->currentIndex();
    lines << (index <= 0 ? tr("Записи: все, %1").arg(shown->rowCount())
                         : tr("Записи: только прибор %1 (фильтр), %2 из %3")
                               .arg(ui->instrumentFilter->itemText(index))
                               .arg(shown->rowCount())
                               .arg(exchanges->rowCount()))
          << QString();
    QStringList titles;
    for (int column = 0; column < IoExchangeModel::ColumnCount; ++column)
        titles << exchanges->headerData(column, Qt::Horizontal).toString();
    lines << titles.join(QLatin1Char('\t'));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n') + shownText();
}

void IoMonitor::on_saveButton_clicked()
{
    SaveFileDialog::save(this, tr("Сохранить журнал обмена"), QString(), tr("Текст (*.txt)"),
                         [this](const QString &path) {
                             return saveFile(path, savedText().toUtf8());
                         });
}
