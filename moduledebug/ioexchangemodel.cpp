#include "ioexchangemodel.h"

#include <QCoreApplication>
#include <QDateTime>

namespace {
QString statusText(const IoExchange &exchange)
{
    if (exchange.outcome)
        return QCoreApplication::translate("IoMonitor", exchange.outcome);
    return IoRecorder::statusText(exchange.status);
}

QString bytesText(const IoExchange &exchange)
{
    using Direction = IoExchange::Direction;
    QString text;
    const QString cut = QStringLiteral("…");
    if (exchange.direction != Direction::Received)
        text = QString::fromLatin1(IoRecorder::escaped(exchange.sent)) +
               (exchange.sentCut ? cut : QString());
    if (exchange.direction == Direction::Query)
        text += QStringLiteral("  ⇒  ");
    if (exchange.direction != Direction::Sent)
        text += QString::fromLatin1(IoRecorder::escaped(exchange.received)) +
                (exchange.receivedCut ? cut : QString());
    if (exchange.blockBytes >= 0)
        text += QCoreApplication::translate("IoMonitor", " [блок, длина %1]")
                    .arg(exchange.blockBytes);
    return text;
}

const char *directionText(IoExchange::Direction direction)
{
    switch (direction) {
    case IoExchange::Direction::Sent: return "→";
    case IoExchange::Direction::Received: return "←";
    case IoExchange::Direction::Query: return "⇄";
    }
    return "";
}
} // namespace

IoExchangeModel::IoExchangeModel(QObject *parent) : QAbstractTableModel(parent) {}

int IoExchangeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int IoExchangeModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString IoExchangeModel::cellText(const IoExchange &exchange, int column)
{
    switch (column) {
    case Time:
        return QDateTime::fromMSecsSinceEpoch(exchange.msecsSinceEpoch)
            .toString(QStringLiteral("HH:mm:ss.zzz"));
    case Instrument: return exchange.instrument;
    case Direction: {
        const QString direction = QString::fromUtf8(directionText(exchange.direction));
        return exchange.fromConsole
                   ? QCoreApplication::translate("IoMonitor", "%1 консоль").arg(direction)
                   : direction;
    }
    case Bytes: return bytesText(exchange);
    case Outcome: return statusText(exchange);
    case Duration: return QString::number(exchange.durationUs / 1000.0, 'f', 3);
    }
    return QString();
}

QVariant IoExchangeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return cellText(rows[index.row()], index.column());
    // A reading elided by the column's width can still be read whole.
    if (role == Qt::ToolTipRole && index.column() == Bytes)
        return cellText(rows[index.row()], index.column());
    if (role == Qt::TextAlignmentRole && index.column() == Duration)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

QVariant IoExchangeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *titles[ColumnCount] = {
        QT_TR_NOOP("Время"),  QT_TR_NOOP("Прибор"),    QT_TR_NOOP("Направление"),
        QT_TR_NOOP("Данные"), QT_TR_NOOP("Состояние"), QT_TR_NOOP("Длительность, мс")};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return tr(titles[section]);
}

void IoExchangeModel::append(const QVector<IoExchange> &exchanges)
{
    if (exchanges.isEmpty())
        return;
    const int surplus = rows.size() + exchanges.size() - IoRecorder::capacity;
    if (surplus > 0) {
        const int dropped = std::min(surplus, rows.size());
        beginRemoveRows(QModelIndex(), 0, dropped - 1);
        rows.remove(0, dropped);
        endRemoveRows();
    }
    const int from = std::max(0, exchanges.size() - IoRecorder::capacity);
    beginInsertRows(QModelIndex(), rows.size(), rows.size() + exchanges.size() - from - 1);
    for (int i = from; i < exchanges.size(); ++i)
        rows.append(exchanges[i]);
    endInsertRows();
}

void IoExchangeModel::clear()
{
    beginResetModel();
    rows.clear();
    endResetModel();
}
