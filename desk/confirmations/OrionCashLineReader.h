#pragma once

#include "CashLineReader.h"
#include "CashTradeTable.h"
#include "TradeConfirmations.h"

#include <QStringView>

#include <array>
#include <memory>
#include <optional>

class Store;

/// The twelve values of a bnfOrion row, in six start and length pairs: client code, instrument, buy
/// quantity, buy rate, sale quantity, sale rate. A start counts characters from 0.
struct OrionPositions
{
    static constexpr int kCount = 12;
    static constexpr int kPairCount = kCount / 2;
    /// The pairs in row order.
    enum Pair { ClientCode, Instrument, BuyQty, BuyRate, SaleQty, SaleRate };
    /// The largest start or length: the positions are 16-bit whole numbers.
    static constexpr int kLargest = 32767;

    std::array<int, kCount> values{};

    int start(Pair pair) const { return values[size_t(2 * pair)]; }
    int length(Pair pair) const { return values[size_t(2 * pair + 1)]; }

    /// The row of the exchange ("B" or "N"). Throws StoreError when the row is missing or a value is
    /// not a whole number from 0 to 32767, naming the row and the value.
    static OrionPositions load(const Store& store, const QString& exchange);

    /// A start or length as typed or stored: a whole number from 0 to 32767, blanks around it allowed.
    static std::optional<int> parse(QStringView text);
    /// The label of a pair in the settings dialogs: "Client :", "Instrument :", "Buy Qty :", …
    static QString pairLabel(int pair);
    /// How messages name value k: "Client column start", "Buy Qty column length", …
    static QString valueName(int k);
};

/// Reads the fixed-width lines of an Orion cash file: a buy row and a sale row from one line.
///
/// Rates and quantities are the number at the start of their field once commas are removed, rounded
/// to hundredths half to even. A line stages nothing, silently, when neither quantity is above 0. A
/// number too large for its staging column (a quantity above 2147483647, a rate of 10^15 or more, or
/// more than 16 digits before the point) is a conversion error: the positions do not fit the file, so
/// the rest of the file is passed over. A quantity that is not whole after rounding drops the line,
/// reported with its file and line.
std::unique_ptr<CashLineReader> makeOrionCashLineReader(const OrionPositions& positions,
                                                        CashTradeTable::Writer& writer,
                                                        TradeReadReport& report);
