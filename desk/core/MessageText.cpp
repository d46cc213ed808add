#include "MessageText.h"

#include <limits>

QString CleanMobileNumber(const QString& number)
{
    QString cleaned = number;
    cleaned.remove(u',');
    cleaned.remove(u' ');
    cleaned.remove(QChar(0x00A0));
    cleaned.replace(u'\'', u' ');
    // Only blanks are trimmed: the quotes turned into blanks at the ends go, those inside stay.
    qsizetype start = 0;
    qsizetype end = cleaned.size();
    while (start < end && cleaned.at(start) == u' ')
        ++start;
    while (end > start && cleaned.at(end - 1) == u' ')
        --end;
    return cleaned.mid(start, end - start);
}

qint16 MessageLength(const QString& text)
{
    qint64 length = 0;
    for (const QChar c : text)
        length += c == u'~' ? 2 : 1;
    return qint16(std::min<qint64>(length, std::numeric_limits<qint16>::max()));
}

QString RemoveSingleQuotes(const QString& text)
{
    QString result = text;
    result.remove(u'\'');
    return result;
}
