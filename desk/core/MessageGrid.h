#pragma once

#include <QList>
#include <QString>

class DeskSession;
class QTextStream;

// The message grid every sending screen and command fills: its rows, queueing them, the warning about
// characters the SMS code page changes, and the grid as the commands print it.

/// One row of a screen's message grid: the mobile number and the text.
struct QueueGridRow
{
    QString mobileNo;
    QString message;
    bool operator==(const QueueGridRow&) const = default;
};

/// Queues every row whose number and text are both non-empty under the application id, in one
/// transaction, with the session's current batch number; returns how many were queued. Throws
/// QueueWriteError on a failure.
int QueueGrid(DeskSession& session, const QString& appId, const QList<QueueGridRow>& grid);

/// Empty when every text QueueGrid would queue reaches the client as it stands; otherwise one warning
/// naming, for each such text (its 1-based grid row and mobile number), the characters the SMS code
/// page sends in a readable form and the ones it loses (sent as "?"). The stored texts stay as typed.
QString DescribeCodePageLoss(const QList<QueueGridRow>& grid);

/// A text as one line of the message grid on standard output: backslash, tab, carriage return and
/// line feed written \\, \t, \r and \n.
QString EscapeGridText(const QString& text);
/// The message grid as the commands print it: the number, a tab and the text, one row a line.
void WriteMessageGrid(QTextStream& out, const QList<QueueGridRow>& grid);
