#pragma once

#include "TradeConfirmations.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

/// The engine of the net-position screen and `brisant confirm netpos`: reads a fixed-width
/// net-position report in one of its two layouts (the kind's layouts: "Qty,Avg", then "Qty,Amt,Avg")
/// into positions kept in memory, words each position as a fragment (squared off with its profit or
/// loss, or its open legs), and joins consecutive fragments of one client into texts of under 159
/// characters queued under "NP".
class NetPositionConfirmations : public TradeConfirmations
{
public:
    /// The layouts, as indexes into the kind's layouts.
    enum Layout { QtyAvg, QtyAmtAvg };

    NetPositionConfirmations(DeskSession& session, const TradeFileKind& kind);

    /// msf1: an empty row, then one row per position: mark column (empty), client code, script name,
    /// buy price, sale price, profit or loss, exchange, bought quantity, sold quantity.
    QList<QStringList> stagedGrid() const override;
    /// Mf: per position with a client code, its mark ("Not Found" after a generation that found no
    /// client for it), the code and the fragment.
    QList<QStringList> rawGrid() const override;
    QStringList missingClientCodes() const override;

    /// Walks the fragments in file order, joining consecutive ones of one client behind the trimmed
    /// prefix and the code while the text stays under 159 characters; the grid is in that order, not
    /// the client master's. A fragment too long for a text of its own is still given one, and named in
    /// generationWarnings().
    QList<QueueGridRow> generate(const QString& prefix) const override;
    QStringList generationWarnings() const override { return m_warnings; }

private:
    struct Position
    {
        QString exchange;
        QString code;
        QString scriptName;
        QString buyQty;
        QString buyPrice;
        QString saleQty;
        QString salePrice;
        QString profitLoss;
    };
    struct Fragment
    {
        QString code;
        /// As Mf shows it, and trimmed as a text joins it.
        QString text;
        QString joined;
    };
    class ReportReader;

    /// Replaces the positions with the accepted lines of the files: a line is taken when its
    /// acceptance field reads as a number (ReadHundredths: "1,000" and "1E5" are numbers), others pass
    /// silently. A taken line whose quantity or price is no number is named in the problems and gives
    /// no position, so that no text carries a figure the report did not state. When no line at all
    /// matched the layout, the report's notices say so.
    std::unique_ptr<LineReader> startRead(TradeReadReport& report) override;
    void buildFragments();
    QString layoutCaption(int layout) const;

    QList<Position> m_positions;
    QList<Fragment> m_fragments;
    // Written by generate, as the screen's Mf column 0 and its warnings are.
    mutable QStringList m_marks;
    mutable QStringList m_warnings;
};
