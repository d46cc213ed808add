#include "QueueGridModel.h"

namespace {

const char* const kQueueHeaders[] = {"Delete",  "Nid",    "Mobile No.", "Name",
                                     "Message", "Q Date", "Application"};

// The store's "yyyy-MM-dd HH:mm:ss" as the desk writes dates, day first; anything else as it is.
QString shownTime(const QString& stored)
{
    if (stored.size() < 19 || stored.at(4) != u'-' || stored.at(7) != u'-')
        return stored;
    return stored.mid(8, 2) + u'/' + stored.mid(5, 2) + u'/' + stored.left(4) + stored.mid(10);
}

} // namespace

void QueueGridModel::setMessages(std::vector<QueueListingRow> messages)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(messages.size());
    for (QueueListingRow& message : messages)
        m_rows.push_back({std::move(message), false});
    endResetModel();
}

void QueueGridModel::setAllTicked(bool ticked)
{
    for (Row& row : m_rows)
        row.ticked = ticked;
    tickedChanged();
}

void QueueGridModel::invertTicks()
{
    for (Row& row : m_rows)
        row.ticked = !row.ticked;
    tickedChanged();
}

void QueueGridModel::tickedChanged()
{
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, Delete), index(rowCount() - 1, Delete), {Qt::CheckStateRole});
}

QList<qint64> QueueGridModel::tickedNids() const
{
    QList<qint64> nids;
    for (const Row& row : m_rows) {
        if (row.ticked)
            nids << row.message.nid;
    }
    return nids;
}

QString QueueGridModel::text(int row, int column) const
{
    if (row < 0 || size_t(row) >= m_rows.size())
        return {};
    const Row& cells = m_rows[size_t(row)];
    switch (column) {
    case Delete:
        return cells.ticked ? QStringLiteral("-1") : QStringLiteral("0");
    case Nid:
        return QString::number(cells.message.nid);
    case MobileNo:
        return cells.message.mobileNo;
    case Name:
        return cells.message.clientName;
    case Message:
        return cells.message.message;
    case QDate:
        return shownTime(cells.message.queuedAt);
    case Application:
        return cells.message.appId;
    default:
        return {};
    }
}

int QueueGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int QueueGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant QueueGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.column() == Delete) {
        // The tick is the cell: a check box without a text beside it.
        if (role == Qt::CheckStateRole)
            return isTicked(index.row()) ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::EditRole)
            return text(index.row(), Delete);
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole)
        return text(index.row(), index.column());
    return {};
}

bool QueueGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != Delete || role != Qt::CheckStateRole)
        return false;
    m_rows[size_t(index.row())].ticked = value.value<Qt::CheckState>() == Qt::Checked;
    Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags QueueGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.column() == Delete ? flags | Qt::ItemIsUserCheckable : flags;
}

QVariant QueueGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromLatin1(kQueueHeaders[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void QueueLengthModel::setLengths(QList<QueueLength> lengths)
{
    beginResetModel();
    m_lengths = std::move(lengths);
    endResetModel();
}

QString QueueLengthModel::text(int row, int column) const
{
    if (row < 0 || row >= m_lengths.size())
        return {};
    const QueueLength& length = m_lengths.at(row);
    return column == 0 ? length.userName : column == 1 ? QString::number(length.length) : QString();
}

int QueueLengthModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_lengths.size());
}

int QueueLengthModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant QueueLengthModel::data(const QModelIndex& index, int role) const
{
    if (index.isValid() && role == Qt::DisplayRole)
        return text(index.row(), index.column());
    return {};
}

QVariant QueueLengthModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && (section == 0 || section == 1))
        return section == 0 ? QStringLiteral("User Name") : QStringLiteral("Q length");
    return QAbstractTableModel::headerData(section, orientation, role);
}
