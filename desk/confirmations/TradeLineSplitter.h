#pragma once

#include <QByteArrayView>

#include <vector>

/// Splits a delimited trade line into fields: at the first delimiter, or at the second when the
/// first gives fewer fields than a trade line has.
class TradeLineSplitter
{
public:
    /// Trade lines have at least this many fields; shorter lines are not trades.
    static constexpr int kMinimumFields = 11;

    TradeLineSplitter(char first, char second);

    /// Splits the line; returns the number of fields, or 0 when neither delimiter gives enough.
    /// The fields point into the line and stay valid while it does.
    int split(QByteArrayView line);

    int fieldCount() const { return int(m_starts.size()) - 1; }
    /// Field i of the last split, without its delimiter.
    QByteArrayView field(int i) const
    {
        const qsizetype begin = m_starts[size_t(i)];
        return m_line.sliced(begin, m_starts[size_t(i) + 1] - begin - 1);
    }

private:
    char m_first;
    char m_second;
    QByteArrayView m_line;
    // Start of every field, and one past the end of the line plus its missing delimiter.
    std::vector<qsizetype> m_starts;
};
