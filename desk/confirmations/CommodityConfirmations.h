#pragma once

#include "ColumnPositions.h"
#include "TradeConfirmations.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class CommodityTradeTable;

/// The engine of the MCX and NCDEX screens and of `brisant confirm mcx|ncdex`: stages every trade line
/// into `commodity` or `ncdex`, greets each client by name and joins the fragments of the stored
/// query behind "Dear name,  code: ", and leaves out the texts already queued today for the same
/// number.
class CommodityConfirmations : public TradeConfirmations
{
public:
    CommodityConfirmations(DeskSession& session, const TradeFileKind& kind);

    void open() override;
    /// Throws StoreError when the row is missing or one of its six positions is empty or negative.
    void loadPositions() override;

    /// A line whose buy/sale flag, rate or quantity is not a number (an empty field or a letter
    /// included), or that ends before a configured position, is passed over and named in the report's
    /// problems; reading goes on.
    TradeReadReport readFiles(const QStringList& files, const Progress& progress = {}) override;

    /// An empty first column, then clid, scriptname, rate, qty, bsflag, monthnm; by client code.
    QList<QStringList> stagedGrid() const override;
    QStringList missingClientCodes() const override;

    /// The texts of every client of the client master, in its order, without those queued on the day
    /// of today() for the same number: compared as AddToQueue would store them, letter case ignored.
    /// The prefix is not used.
    QList<QueueGridRow> generate(const QString& prefix) const override;

    /// The day whose queued texts generate() leaves out: the local date unless one is set.
    QDate today() const { return m_today.isValid() ? m_today : QDate::currentDate(); }
    void setToday(const QDate& day) { m_today = day; }

private:
    class LineReader;
    CommodityTradeTable table() const;

    ColumnPositions::Row m_positions{};
    bool m_positionsLoaded = false;
    QDate m_today;
};
