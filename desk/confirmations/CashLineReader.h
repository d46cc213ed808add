#pragma once

#include <QByteArrayView>
#include <QString>

/// Turns the lines of one kind of cash-market trade file into staged trades, one line at a time.
class CashLineReader
{
public:
    virtual ~CashLineReader() = default;

    /// Stages what the line holds, or reports why it does not; returns false when the rest of the
    /// file is to be passed over. The line comes without its line end.
    virtual bool readLine(QByteArrayView line, const QString& file, qint64 lineNumber) = 0;
};
