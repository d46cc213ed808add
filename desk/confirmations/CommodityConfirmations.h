#pragma once

#include "ColumnPositions.h"
#include "TradeConfirmations.h"

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

    /// An empty first column, then clid, scriptname, rate, qty, bsflag, monthnm; by client code.
    QList<QStringList> stagedGrid() const override;
    QStringList missingClientCodes() const override;

    /// The texts of every client of the client master, in its order, without those queued on the day
    /// of today() for the same number: compared as AddToQueue would store them, letter case ignored;
    /// alreadyQueued() counts those. The prefix is not used.
    QList<QueueGridRow> generate(const QString& prefix) const override;

private:
    class CommodityLineReader;
    CommodityTradeTable table() const;
    void clearStaging() override;
    /// A line whose rate or quantity is not a number, or that ends before a configured position, is
    /// passed over and named in the report's problems; reading goes on. The buy/sale flag is "S" for 2
    /// or the letter S and "B" for any other value.
    std::unique_ptr<LineReader> startRead(TradeReadReport& report) override;
};
