#pragma once

#include <QList>
#include <QString>

#include <array>
#include <optional>

class Store;

/// The column positions of one kind of delimited trade file: a bnfconfigure row, keyed by cd
/// ("B", "N", "F", "C", "D"), with clientcode, script_name, rate, qty, bs_state, monthnm, opttype and
/// optval in that order. A position is a zero-based field index.
class ColumnPositions
{
public:
    static constexpr int kCount = 8;
    using Row = std::array<std::optional<int>, kCount>;

    explicit ColumnPositions(const Store& store);

    /// The row's positions in column order (an empty column as nothing); nothing when the row is missing.
    std::optional<Row> read(const QString& cd) const;

    /// Writes the first values.size() positions of the row and leaves the others; false when the
    /// row is missing.
    bool write(const QString& cd, const QList<int>& values) const;

    /// Gives a store that has no row cd one with these first positions (the others empty): for a kind of
    /// trade file added after the store was made. A row that exists, or that another program adds at the
    /// same moment, is left as it is.
    void addMissing(const QString& cd, const QList<int>& values) const;

private:
    const Store& m_store;
};
