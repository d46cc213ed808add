#pragma once

#include <QString>

#include <array>
#include <optional>

class Store;

/// The fixed-width positions of one exchange's Orion cash files: a bnfOrion row, keyed by Exchange
/// ("B" or "N"), holding a start and a length for the client code, instrument, buy quantity, buy rate,
/// sale quantity and sale rate, in that order.
class OrionPositionsRow
{
public:
    static constexpr int kCount = 12;
    /// The values as stored, in column order, as text: an empty column is an empty text. The position
    /// columns take whatever an older program wrote into them, so the reader of a row checks them.
    using Texts = std::array<QString, kCount>;
    using Values = std::array<int, kCount>;

    explicit OrionPositionsRow(const Store& store);

    /// The name of position column k: clientstart, clientlen, … saleratelen.
    static QString columnName(int k);

    /// Nothing when the exchange has no row.
    std::optional<Texts> read(const QString& exchange) const;
    /// Writes the twelve positions of the row; false when the row is missing (it is not created).
    bool write(const QString& exchange, const Values& values) const;

private:
    const Store& m_store;
};
