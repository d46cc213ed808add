#include "Reports.h"

#include "SentReport.h"

#include <array>

namespace {

const QString kAccessCode = QStringLiteral("purgeclnt");

// Column widths in twips, as the report screens lay them out.
ExportColumn column(int width, int dataType = 0)
{
    ExportColumn result;
    result.width = width;
    result.dataType = dataType;
    return result;
}

} // namespace

const QString Reports::kPartyMasterWorkbook = QStringLiteral("PartyMaster.xls");
const QString Reports::kPartyMasterPage = QStringLiteral("PartyMaster.html");

Reports::Reports(const Store& store)
    : m_store(store)
{
}

ExportGrid Reports::grid(ReportKind kind, const QDate& from, const QDate& to) const
{
    switch (kind) {
    case ReportKind::Clients:
        return clients();
    case ReportKind::Sent:
        return sent(from, to);
    case ReportKind::Counter:
        return counter(from, to);
    }
    return {};
}

ExportGrid Reports::clients() const
{
    ExportGrid grid;
    grid.columns = {column(600), column(3000), column(1500), column(1200)};
    const QList<ClientRow> clients = SentReport(m_store).clients();
    grid.rows.reserve(clients.size() + 1);
    grid.rows.append(
        {QStringLiteral("ID"), QStringLiteral("Name"), QStringLiteral("Mobile No"), QStringLiteral("Code")});
    for (const ClientRow& client : clients)
        grid.rows.append({QString::number(client.id), client.name, client.mobile, client.code});
    return grid;
}

ExportGrid Reports::sent(const QDate& from, const QDate& to) const
{
    ExportGrid grid;
    grid.columns = {column(1500), column(2400), column(6000), column(2100, ExportColumn::DateType),
                    column(1400), column(1200)};
    grid.rows.append({QStringLiteral("Mobile NO"), QStringLiteral("Client Name"), QStringLiteral("Message"),
                      QStringLiteral("Q Date Time"), QStringLiteral("Application ID"),
                      QStringLiteral("UserName")});
    SentReport(m_store).sentBetween(from.startOfDay(), to.endOfDay(), [&grid](const SentListRow& row) {
        const std::array cells{row.mobileNo, row.clientName, row.message,
                               row.queuedAt, row.appId,      row.userName};
        grid.moreRows.append(cells);
    });
    return grid;
}

ExportGrid Reports::counter(const QDate& from, const QDate& to) const
{
    ExportGrid grid;
    grid.columns = {column(1500, ExportColumn::DateType), column(1200)};
    grid.rows.append({QStringLiteral("Date"), QStringLiteral("Count")});
    for (const SentDayCount& count : SentReport(m_store).countPerDay(from.startOfDay(), to.endOfDay()))
        grid.rows.append({count.day, QString::number(count.count)});
    return grid;
}

bool Reports::deleteAllClients(const QString& accessCode) const
{
    if (accessCode != kAccessCode)
        return false;
    SentReport(m_store).deleteAllClients();
    return true;
}

std::optional<ReportKind> Reports::kindNamed(const QString& name)
{
    if (name == QLatin1String("clients"))
        return ReportKind::Clients;
    if (name == QLatin1String("sent"))
        return ReportKind::Sent;
    if (name == QLatin1String("counter"))
        return ReportKind::Counter;
    return std::nullopt;
}

QString Reports::sentListFileName(const QDate& day)
{
    return QStringLiteral("SentList %1.xlsx").arg(day.toString(QStringLiteral("ddMMyyyy")));
}

void ReportGridModel::setGrid(ExportGrid grid)
{
    beginResetModel();
    m_grid = std::move(grid);
    endResetModel();
}

int ReportGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : std::max(0, m_grid.rowCount() - m_grid.fixedRows);
}

int ReportGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_grid.columnCount();
}

QVariant ReportGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return m_grid.text(index.row() + m_grid.fixedRows, index.column());
}

QVariant ReportGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_grid.text(0, section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
