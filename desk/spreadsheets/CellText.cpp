#include "CellText.h"

#include "DecimalText.h"

#include <QDate>

#include <cmath>

QString NumberCellText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("#NUM!");
    return ShortestDecimal(value);
}

QString SerialDateCellText(double serial, bool date1904)
{
    if (!std::isfinite(serial) || serial < 0)
        return NumberCellText(serial);
    // A time a hair before midnight, as binary fractions store it, still belongs to the next day.
    const auto day = qint64(std::floor(serial + 0.5 / 86400000.0));
    QDate date;
    if (date1904) {
        date = QDate(1904, 1, 1).addDays(day);
    } else {
        // The 1900 system counts 29 February 1900, a day that never was, as day 60.
        if (day == 60)
            return QStringLiteral("29/02/1900");
        if (day == 0)
            return QStringLiteral("00/01/1900");
        date = QDate(1899, 12, day < 60 ? 31 : 30).addDays(day);
    }
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

namespace {

/// The date and time letters of a custom format code in order (d, m, y, h, s; one per run of the
/// same letter), leaving out quoted texts, bracketed parts, escaped characters and AM/PM markers.
QList<char> DateTimeTokens(const QString& code)
{
    QList<char> tokens;
    const qsizetype n = code.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            i = code.indexOf(u'"', i + 1);
            if (i < 0)
                break;
            continue;
        }
        if (c == u'[') {
            // Elapsed hours, minutes or seconds ([h], [mm], [ss]) are times; colours and locales are not.
            const qsizetype end = code.indexOf(u']', i + 1);
            if (end < 0)
                break;
            const QString inside = code.sliced(i + 1, end - i - 1).toLower();
            if (!inside.isEmpty() && (inside.count(inside[0]) == inside.size()) &&
                (inside[0] == u'h' || inside[0] == u'm' || inside[0] == u's'))
                tokens.append(inside[0] == u'm' ? 'M' : char(inside[0].unicode()));
            i = end;
            continue;
        }
        if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
            continue;
        }
        if (code.sliced(i).startsWith(QLatin1String("AM/PM"), Qt::CaseInsensitive)) {
            i += 4;
            continue;
        }
        if (code.sliced(i).startsWith(QLatin1String("A/P"), Qt::CaseInsensitive)) {
            i += 2;
            continue;
        }
        const char letter = char(c.toLower().unicode());
        if (letter != 'd' && letter != 'm' && letter != 'y' && letter != 'h' && letter != 's')
            continue;
        if (i > 0 && code[i - 1].toLower() == c.toLower())
            continue;
        tokens.append(letter);
    }
    return tokens;
}

} // namespace

bool IsDateFormat(int builtInId, const QString& formatCode)
{
    if (formatCode.isEmpty()) {
        // 18-21 and 45-47 are times of day or durations, shown as their number here.
        return builtInId == 14 || builtInId == 15 || builtInId == 16 || builtInId == 17 || builtInId == 22 ||
               (builtInId >= 27 && builtInId <= 36) || (builtInId >= 50 && builtInId <= 58);
    }
    const QList<char> tokens = DateTimeTokens(formatCode);
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const char token = tokens[i];
        if (token == 'd' || token == 'y')
            return true;
        if (token == 'm') {
            // An m right after hours or right before seconds counts minutes.
            const bool minutes =
                (i > 0 && tokens[i - 1] == 'h') || (i + 1 < tokens.size() && tokens[i + 1] == 's');
            if (!minutes)
                return true;
        }
    }
    return false;
}
