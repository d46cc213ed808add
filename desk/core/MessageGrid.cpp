#include "MessageGrid.h"

#include "DeskSession.h"
#include "MessageCodePage.h"

#include <QTextStream>

namespace {

// Rows named in full; a grid of thousands with the same text would otherwise give a box taller than
// the screen.
constexpr qsizetype kListedRows = 20;

bool willQueue(const QueueGridRow& row)
{
    return !row.mobileNo.isEmpty() && !row.message.isEmpty();
}

// The character itself where it can be seen; its code point where it is a blank or invisible.
QString nameCharacter(const QString& character)
{
    const char32_t codePoint = character.toUcs4().value(0);
    if (QChar::isPrint(codePoint) && !QChar::isSpace(codePoint))
        return character;
    return QStringLiteral("U+%1").arg(uint(codePoint), 4, 16, QLatin1Char('0')).toUpper();
}

QString describeRow(const CodePageLoss& loss)
{
    QStringList replaced;
    for (const CodePageReplacement& replacement : loss.replaced) {
        replaced << (replacement.readable.isEmpty()
                         ? QStringLiteral("%1 left out").arg(nameCharacter(replacement.character))
                         : QStringLiteral("%1 sent as \"%2\"")
                               .arg(nameCharacter(replacement.character), replacement.readable));
    }
    QStringList parts;
    if (!replaced.isEmpty())
        parts << replaced.join(QStringLiteral(", "));
    if (!loss.lost.isEmpty()) {
        QStringList lost;
        for (const QString& character : loss.lost)
            lost << nameCharacter(character);
        parts << lost.join(QStringLiteral(", ")) + (lost.size() == 1
                                                        ? QStringLiteral(" lost, sent as \"?\"")
                                                        : QStringLiteral(" lost, each sent as \"?\""));
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace

int QueueGrid(DeskSession& session, const QString& appId, const QList<QueueGridRow>& grid)
{
    QueueBatch batch(session);
    for (const QueueGridRow& row : grid) {
        if (willQueue(row))
            batch.AddToQueue(appId, row.mobileNo, row.message);
    }
    return batch.send();
}

QString DescribeCodePageLoss(const QList<QueueGridRow>& grid)
{
    QStringList rows;
    qsizetype changed = 0;
    for (qsizetype i = 0; i < grid.size(); ++i) {
        const QueueGridRow& row = grid.at(i);
        if (!willQueue(row))
            continue;
        const CodePageLoss loss = FindCodePageLoss(row.message);
        if (loss.isEmpty())
            continue;
        if (++changed <= kListedRows)
            rows << QStringLiteral("row %1 (%2): %3").arg(i + 1).arg(row.mobileNo, describeRow(loss));
    }
    if (changed == 0)
        return {};
    if (changed > kListedRows) {
        const qsizetype more = changed - kListedRows;
        rows << (more == 1 ? QStringLiteral("\u2026 and 1 more row")
                           : QStringLiteral("\u2026 and %1 more rows").arg(more));
    }
    const QString heading =
        changed == 1
            ? QStringLiteral("1 text holds characters the SMS cannot carry as they are:")
            : QStringLiteral("%1 texts hold characters the SMS cannot carry as they are:").arg(changed);
    return heading + u'\n' + rows.join(u'\n');
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
