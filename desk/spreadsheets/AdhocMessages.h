#pragma once

#include "MessageGrid.h"
#include "PickList.h"

#include <QString>
#include <QStringList>

class DeskSession;

/// The engine of frmAdvancedSMS and `brisant adhoc`: one free text to typed mobile numbers, queued
/// under "Advanced".
class AdhocMessages
{
public:
    /// What the message box holds, counted by MessageLength.
    static constexpr int kMessageLimit = 159;

    explicit AdhocMessages(DeskSession& session);

    /// The numbers of pasted text, one per line: a line whose last ten characters, once blanks and tabs
    /// are trimmed from its ends, are ten digits gives those ten digits; other lines give nothing.
    static QStringList acceptNumbers(const QString& text);
    /// What the message box has left; below 0 when the message is too long for it.
    static int charactersLeft(const QString& message);
    /// The message with its last characters removed until it fits the box.
    static QString fitMessage(const QString& message);
    /// The refusal of "Send Now" for these values, in the screen's words; empty when it may send.
    static QString refusal(const QStringList& numbers, const QString& message);

    /// The message to every number, in order, as "Send Now" queues it.
    static QList<QueueGridRow> messageGrid(const QStringList& numbers, const QString& message);

    /// "Send Now": one batch number, then the message to every number, in order; returns the count.
    /// Throws QueueWriteError on a failure.
    int send(const QStringList& numbers, const QString& message);

    /// The stored messages the operator may pick from.
    PickList storedMessages() const;

private:
    DeskSession& m_session;
};
