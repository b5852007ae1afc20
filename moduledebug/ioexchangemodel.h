#pragma once

#include "iorecorder.h"

#include <QAbstractTableModel>
#include <QVector>

// The exchanges the I/O monitor shows, one row each, oldest first, at most
// IoRecorder::capacity rows: rows beyond that go from the top.
class IoExchangeModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, Instrument, Direction, Bytes, Outcome, Duration, ColumnCount };

    explicit IoExchangeModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void append(const QVector<IoExchange> &exchanges);
    void clear();
    quint64 lastNumber() const { return rows.isEmpty() ? 0 : rows.last().number; }

    // The text of one cell, as shown and as saved.
    static QString cellText(const IoExchange &exchange, int column);

private:
    QVector<IoExchange> rows;
};
