#include "QueueGridRow.h"

#include "DeskSession.h"

#include <QTextStream>

int QueueGrid(DeskSession& session, const QString& appId, const QList<QueueGridRow>& grid)
{
    QueueBatch batch(session);
    for (const QueueGridRow& row : grid) {
        if (!row.mobileNo.isEmpty() && !row.message.isEmpty())
            batch.AddToQueue(appId, row.mobileNo, row.message);
    }
    return batch.send();
}

QString EscapeGridText(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            escaped += QStringLiteral("\\\\");
            break;
        case u'\t':
            escaped += QStringLiteral("\\t");
            break;
        case u'\r':
            escaped += QStringLiteral("\\r");
            break;
        case u'\n':
            escaped += QStringLiteral("\\n");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

void WriteMessageGrid(QTextStream& out, const QList<QueueGridRow>& grid)
{
    for (const QueueGridRow& row : grid)
        out << EscapeGridText(row.mobileNo) << u'\t' << EscapeGridText(row.message) << u'\n';
    out.flush();
}
