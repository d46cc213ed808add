#pragma once

#include "QueueListing.h"

#include <QAbstractTableModel>

#include <vector>

/// The rows of the queue grid vsmq: the waiting messages of one user, each with its "Delete" tick.
class QueueGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Delete, Nid, MobileNo, Name, Message, QDate, Application, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    /// Replaces the rows, none of them ticked.
    void setMessages(std::vector<QueueListingRow> messages);

    void setAllTicked(bool ticked);
    void invertTicks();
    bool isTicked(int row) const { return m_rows.at(size_t(row)).ticked; }
    /// The nids of the ticked rows, top to bottom.
    QList<qint64> tickedNids() const;

    /// A cell's text as the grid holds it: "-1" or "0" in the "Delete" column.
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row
    {
        QueueListingRow message;
        bool ticked = false;
    };

    void tickedChanged();

    std::vector<Row> m_rows;
};

/// The rows of the queue-length grid vsothlist: each user and the number of messages waiting.
class QueueLengthModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setLengths(QList<QueueLength> lengths);
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<QueueLength> m_lengths;
};
