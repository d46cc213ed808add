#include "NumberFormat.h"

#include <QDate>
#include <QHash>
#include <QList>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

enum class Kind : quint8 {
    Literal,
    Digit,
    Point,
    Comma,
    Percent,
    Exponent,
    General,
    Text,
    /// A letter that is a keyword in a date and may be itself in a number.
    Keyword,
    // Dates and times; a run of one letter ("yyyy") is one item with its count.
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    SecondFraction,
    AmPm,
    AP,
    ElapsedHours,
    ElapsedMinutes,
    ElapsedSeconds,
};

struct Item
{
    Kind kind = Kind::Literal;
    /// '0', '#' or '?' for a digit; 'E' or 'e' with '+' or '-' in text for an exponent.
    char16_t digit = 0;
    int count = 0;
    QString text;
};

enum class SectionKind { Number, Scientific, General, DateTime, Text };

struct Section
{
    SectionKind kind = SectionKind::Number;
    QList<Item> items;
    // Numbers: ×100 for a percent sign, ÷1000 for each comma after the last digit.
    bool percent = false;
    int thousandsScale = 0;
    bool grouping = false;
    int decimals = 0;
    // Dates and times.
    bool hasDate = false;
    bool hasTime = false;
    bool elapsed = false;
    int secondDecimals = 0;
    // General alone, which LibreOffice shows in a form of its own; a colour makes it another.
    bool plainGeneral = false;
    bool coloured = false;
};

// How wide LibreOffice makes the blank that "_" followed by a character leaves, for the printable
// ASCII characters from the blank on; any other character leaves two.
constexpr std::array<quint8, 96> SpacingWidths = {
    1, 1, 1, 2, 2, 3, 2, 1, 1, 1, 1, 2, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 2, 2, 2, 2,
    3, 2, 2, 2, 2, 2, 2, 3, 2, 1, 2, 2, 2, 3, 3, 3, 2, 3, 2, 2, 2, 2, 2, 3, 2, 2, 2, 1, 1, 1, 2, 2,
    1, 2, 2, 2, 2, 2, 1, 2, 2, 1, 1, 2, 1, 3, 2, 2, 2, 2, 1, 2, 1, 2, 2, 2, 2, 2, 2, 1, 1, 1, 2, 1,
};

int SpacingWidth(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 32)
        return 0;
    return u < 128 ? SpacingWidths[u - 32] : 2;
}

const char* const MonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                    "July",    "August",   "September", "October", "November", "December"};
const char* const DayNames[7] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                 "Friday", "Saturday", "Sunday"};

bool IsColour(const QString& name)
{
    for (const char* colour : {"black", "blue", "cyan", "green", "magenta", "red", "white", "yellow"}) {
        if (name == QLatin1String(colour))
            return true;
    }
    if (!name.startsWith(QLatin1String("color")))
        return false;
    bool ok = false;
    const int number = name.sliced(5).toInt(&ok);
    return ok && number >= 1 && number <= 56;
}

/// A locale of a format ([$-4009]): English ones are read, India's groups digits its own way.
enum class Locale { English, India, Other };

Locale LocaleOf(quint32 lcid)
{
    if (lcid > 0xFFFF)
        return Locale::Other;
    if (lcid == 0x4009)
        return Locale::India;
    return lcid == 0 || (lcid & 0x3FF) == 0x09 ? Locale::English : Locale::Other;
}

/// The sections of a code, split at semicolons outside quotes, brackets and escapes.
QStringList SplitSections(const QString& code)
{
    QStringList sections;
    QString current;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            const qsizetype end = code.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? code.size() - 1 : end;
            current += QStringView(code).sliced(i, stop - i + 1);
            i = stop;
        } else if ((c == u'\\' || c == u'_' || c == u'*') && i + 1 < code.size()) {
            current += c;
            current += code[++i];
        } else if (c == u'[') {
            const qsizetype end = code.indexOf(u']', i + 1);
            const qsizetype stop = end < 0 ? code.size() - 1 : end;
            current += QStringView(code).sliced(i, stop - i + 1);
            i = stop;
        } else if (c == u';') {
            sections.append(std::exchange(current, QString()));
        } else {
            current += c;
        }
    }
    sections.append(current);
    return sections;
}

bool IsDateLetter(char16_t c)
{
    return c == u'y' || c == u'm' || c == u'd' || c == u'h' || c == u's';
}

void AppendLiteral(QList<Item>& items, QStringView text)
{
    if (text.isEmpty())
        return;
    if (!items.isEmpty() && items.last().kind == Kind::Literal)
        items.last().text += text;
    else
        items.append({Kind::Literal, 0, 0, text.toString()});
}

/// The items of one section; nothing when it holds something beyond what is read.
std::optional<QList<Item>> Tokenize(const QString& section, Locale& locale, bool& coloured, bool& currency)
{
    QList<Item> items;
    const qsizetype n = section.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = section[i];
        const char16_t lower = c.toLower().unicode();
        if (c == u'"') {
            const qsizetype end = section.indexOf(u'"', i + 1);
            if (end < 0)
                return std::nullopt;
            AppendLiteral(items, QStringView(section).sliced(i + 1, end - i - 1));
            i = end;
        } else if (c == u'\\') {
            if (i + 1 < n)
                AppendLiteral(items, QStringView(section).sliced(++i, 1));
        } else if (c == u'_') {
            if (i + 1 < n)
                AppendLiteral(items, QString(SpacingWidth(section[++i]), u' '));
        } else if (c == u'*') {
            // A fill character fills the column's width, which the shown text does not have.
            ++i;
        } else if (c == u'[') {
            const qsizetype end = section.indexOf(u']', i + 1);
            if (end < 0)
                return std::nullopt;
            const QString inside = section.sliced(i + 1, end - i - 1);
            const QString name = inside.toLower();
            i = end;
            if (name.startsWith(u'$')) {
                const qsizetype dash = name.lastIndexOf(u'-');
                const QString symbol = dash < 0 ? inside.sliced(1) : inside.sliced(1, dash - 1);
                if (dash >= 0) {
                    bool ok = false;
                    const quint32 lcid = name.sliced(dash + 1).toUInt(&ok, 16);
                    const Locale of = LocaleOf(lcid);
                    if (!ok || of == Locale::Other)
                        return std::nullopt;
                    // The locale of a currency symbol is the symbol's; alone it is the format's.
                    if (symbol.isEmpty() && of == Locale::India)
                        locale = Locale::India;
                }
                currency = currency || !symbol.isEmpty();
                AppendLiteral(items, symbol);
            } else if (!name.isEmpty() && (name[0] == u'h' || name[0] == u'm' || name[0] == u's') &&
                       name.count(name[0]) == name.size()) {
                const Kind kind = name[0] == u'h'   ? Kind::ElapsedHours
                                  : name[0] == u'm' ? Kind::ElapsedMinutes
                                                    : Kind::ElapsedSeconds;
                items.append({kind, 0, int(name.size()), {}});
            } else if (IsColour(name)) {
                coloured = true;
            } else {
                // Conditions, other numerals and calendars.
                return std::nullopt;
            }
        } else if (c == u'0' || c == u'#' || c == u'?') {
            items.append({Kind::Digit, c.unicode(), 1, {}});
        } else if (c == u'.') {
            items.append({Kind::Point, 0, 0, {}});
        } else if (c == u',') {
            items.append({Kind::Comma, 0, 0, {}});
        } else if (c == u'%') {
            items.append({Kind::Percent, 0, 0, {}});
        } else if (lower == u'e' && i + 1 < n && (section[i + 1] == u'+' || section[i + 1] == u'-')) {
            items.append({Kind::Exponent, c.unicode(), 0, section.sliced(i, 2)});
            ++i;
        } else if (c == u'@') {
            items.append({Kind::Text, 0, 0, {}});
        } else if (lower == u'g') {
            if (!QStringView(section).sliced(i).startsWith(QLatin1String("general"), Qt::CaseInsensitive))
                return std::nullopt;
            items.append({Kind::General, 0, 0, {}});
            i += 6;
        } else if (lower == u'a') {
            const QStringView rest = QStringView(section).sliced(i);
            if (rest.startsWith(QLatin1String("am/pm"), Qt::CaseInsensitive)) {
                items.append({Kind::AmPm, 0, 0, {}});
                i += 4;
            } else if (rest.startsWith(QLatin1String("a/p"), Qt::CaseInsensitive)) {
                items.append({Kind::AP, 0, 0, {}});
                i += 2;
            } else {
                AppendLiteral(items, QStringView(&c, 1));
            }
        } else if (IsDateLetter(lower)) {
            int count = 1;
            while (i + count < n && section[i + count].toLower() == lower)
                ++count;
            if (lower == u'y') {
                // LibreOffice knows years of two and of four digits; a y beyond those is itself.
                const int year = count >= 4 ? 4 : count >= 2 ? 2 : 0;
                if (year > 0)
                    items.append({Kind::Year, 0, year, {}});
                AppendLiteral(items, QStringView(section).sliced(i + year, count - year));
                i += count - 1;
                continue;
            }
            const Kind kind = lower == u'y'   ? Kind::Year
                              : lower == u'm' ? Kind::Month
                              : lower == u'd' ? Kind::Day
                              : lower == u'h' ? Kind::Hour
                                              : Kind::Second;
            items.append({kind, 0, count, {}});
            i += count - 1;
        } else if (c == u'/') {
            // A slash between digits makes a fraction.
            const bool afterDigit = !items.isEmpty() && items.last().kind == Kind::Digit;
            const bool beforeDigit = i + 1 < n && (section[i + 1] == u'0' || section[i + 1] == u'#' ||
                                                   section[i + 1] == u'?' || section[i + 1].isDigit());
            if (afterDigit && beforeDigit)
                return std::nullopt;
            AppendLiteral(items, u"/");
        } else if (c.unicode() < 128 && c.isDigit()) {
            return std::nullopt;
        } else if (lower == u'b' || lower == u'e' || lower == u'n' || lower == u'q' || lower == u'r' ||
                   lower == u'w') {
            // Eras, quarters, weeks, day names and Buddhist years in a date; some are themselves in a
            // number, which the section decides.
            items.append({Kind::Keyword, lower, 1, QString(c)});
        } else if (c == u' ' && items.isEmpty()) {
            // LibreOffice drops the blanks a section begins with, after its colour and locale.
        } else {
            AppendLiteral(items, QStringView(&c, 1));
        }
    }
    return items;
}

bool IsDateKind(Kind kind)
{
    return kind >= Kind::Year;
}

/// A date or time section: months and minutes told apart, fractional seconds found.
bool ClassifyDateTime(Section& section)
{
    QList<Item> items;
    for (qsizetype i = 0; i < section.items.size(); ++i) {
        Item item = section.items[i];
        switch (item.kind) {
        case Kind::Month: {
            // An m right after hours or right before seconds counts minutes.
            bool minutes = false;
            for (qsizetype j = i - 1; j >= 0; --j) {
                const Kind before = section.items[j].kind;
                if (IsDateKind(before)) {
                    minutes = before == Kind::Hour || before == Kind::ElapsedHours;
                    break;
                }
            }
            for (qsizetype j = i + 1; !minutes && j < section.items.size(); ++j) {
                const Kind after = section.items[j].kind;
                if (IsDateKind(after)) {
                    minutes = after == Kind::Second || after == Kind::ElapsedSeconds;
                    break;
                }
            }
            if (minutes) {
                item.kind = Kind::Minute;
                section.hasTime = true;
            } else {
                section.hasDate = true;
            }
            break;
        }
        case Kind::Year:
        case Kind::Day:
            section.hasDate = true;
            break;
        case Kind::Hour:
        case Kind::Second:
        case Kind::AmPm:
        case Kind::AP:
            section.hasTime = true;
            break;
        case Kind::ElapsedHours:
        case Kind::ElapsedMinutes:
        case Kind::ElapsedSeconds:
            section.hasTime = true;
            section.elapsed = true;
            break;
        case Kind::Point: {
            // Fractional seconds: a point and zeros right after the seconds.
            const bool afterSeconds = !items.isEmpty() && (items.last().kind == Kind::Second ||
                                                           items.last().kind == Kind::ElapsedSeconds);
            int zeros = 0;
            while (i + 1 + zeros < section.items.size() && section.items[i + 1 + zeros].kind == Kind::Digit &&
                   section.items[i + 1 + zeros].digit == u'0')
                ++zeros;
            if (afterSeconds && zeros > 0) {
                items.append({Kind::SecondFraction, 0, zeros, {}});
                section.secondDecimals = zeros;
                i += zeros;
                continue;
            }
            AppendLiteral(items, u".");
            continue;
        }
        case Kind::Comma:
            AppendLiteral(items, u",");
            continue;
        case Kind::Percent:
            AppendLiteral(items, u"%");
            continue;
        case Kind::Literal:
            AppendLiteral(items, item.text);
            continue;
        default:
            return false;
        }
        items.append(item);
    }
    // An elapsed time and a date in one section make no sense that is worth reading.
    if (section.elapsed && section.hasDate)
        return false;
    section.items = std::move(items);
    section.kind = SectionKind::DateTime;
    return true;
}

/// A number section: commas told apart (grouping between digits, scaling after the last), decimals
/// counted, an exponent found.
bool ClassifyNumber(Section& section)
{
    QList<Item>& items = section.items;
    qsizetype point = -1;
    qsizetype exponent = -1;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i].kind == Kind::Point && point < 0 && exponent < 0)
            point = i;
        else if (items[i].kind == Kind::Exponent && exponent < 0)
            exponent = i;
        else if (items[i].kind == Kind::Point || items[i].kind == Kind::Exponent)
            return false;
    }
    const qsizetype mantissaEnd = exponent < 0 ? items.size() : exponent;
    const qsizetype integerEnd = point < 0 ? mantissaEnd : point;

    // "0#" in the whole part and "#0" or "?0" in the decimals ask for what no broker writes.
    QString integerTypes;
    QString decimalTypes;
    for (qsizetype i = 0; i < mantissaEnd; ++i) {
        if (items[i].kind == Kind::Digit)
            (i < integerEnd ? integerTypes : decimalTypes) += QChar(items[i].digit);
    }
    const qsizetype firstZero = integerTypes.indexOf(u'0');
    if (firstZero >= 0 &&
        (integerTypes.indexOf(u'#', firstZero) >= 0 || integerTypes.indexOf(u'?', firstZero) >= 0))
        return false;
    const qsizetype lastZero = decimalTypes.lastIndexOf(u'0');
    for (qsizetype i = 0; i < lastZero; ++i) {
        if (decimalTypes[i] != u'0')
            return false;
    }
    QList<Item> resolved;
    bool digitSeen = false;
    bool literalAmongDigits = false;
    for (qsizetype i = 0; i < items.size(); ++i) {
        Item item = items[i];
        if (item.kind == Kind::Comma) {
            // Between digits of the integer a comma groups; right after the last digit of its part it
            // divides by a thousand; anywhere else it is itself.
            const bool inInteger = i < integerEnd;
            const qsizetype regionEnd = inInteger ? integerEnd : mantissaEnd;
            bool digitAfter = false;
            for (qsizetype j = i + 1; j < regionEnd; ++j)
                digitAfter = digitAfter || items[j].kind == Kind::Digit;
            const bool afterDigit =
                i > 0 && (items[i - 1].kind == Kind::Digit || items[i - 1].kind == Kind::Comma);
            if (i < mantissaEnd && !digitAfter && afterDigit) {
                // LibreOffice takes a code scaling before its decimal point for no code at all.
                if (i + 1 == point)
                    return false;
                ++section.thousandsScale;
                continue;
            }
            if (inInteger && digitSeen && digitAfter) {
                section.grouping = true;
                continue;
            }
            AppendLiteral(resolved, u",");
            continue;
        }
        if (item.kind == Kind::Percent) {
            section.percent = true;
            AppendLiteral(resolved, u"%");
            continue;
        }
        if (item.kind == Kind::Digit) {
            if (i < integerEnd && digitSeen && !resolved.isEmpty() && resolved.last().kind == Kind::Literal)
                literalAmongDigits = true;
            digitSeen = digitSeen || i < integerEnd;
            if (i > integerEnd && i < mantissaEnd)
                ++section.decimals;
        }
        if (item.kind == Kind::Literal)
            AppendLiteral(resolved, item.text);
        else
            resolved.append(item);
    }
    // A literal between integer digits is placed by digit positions; grouping as well is not read.
    if (literalAmongDigits && section.grouping)
        return false;
    items = std::move(resolved);
    if (exponent >= 0) {
        int exponentDigits = 0;
        bool afterExponent = false;
        for (const Item& item : items) {
            afterExponent = afterExponent || item.kind == Kind::Exponent;
            if (afterExponent && item.kind == Kind::Digit)
                ++exponentDigits;
        }
        // LibreOffice takes scaling in scientific notation for no code at all.
        if (exponentDigits == 0 || section.thousandsScale > 0)
            return false;
        section.kind = SectionKind::Scientific;
    }
    return true;
}

std::optional<Section> ParseSection(const QString& text, Locale& locale, bool& currency)
{
    bool coloured = false;
    std::optional<QList<Item>> items = Tokenize(text, locale, coloured, currency);
    if (!items)
        return std::nullopt;
    Section section;
    section.coloured = coloured;
    section.items = std::move(*items);
    bool date = false;
    bool general = false;
    bool textAt = false;
    bool digits = false;
    for (const Item& item : std::as_const(section.items)) {
        date = date || IsDateKind(item.kind);
        general = general || item.kind == Kind::General;
        textAt = textAt || item.kind == Kind::Text;
        digits = digits || item.kind == Kind::Digit || item.kind == Kind::Exponent;
    }
    for (Item& item : section.items) {
        if (item.kind != Kind::Keyword)
            continue;
        // LibreOffice takes b, n and w in a number for themselves, the others for no code at all.
        if (date || (item.digit != u'b' && item.digit != u'n' && item.digit != u'w'))
            return std::nullopt;
        item.kind = Kind::Literal;
    }
    if (date) {
        if (general || textAt)
            return std::nullopt;
        if (!ClassifyDateTime(section))
            return std::nullopt;
        return section;
    }
    if (textAt || general) {
        if (digits || (textAt && general))
            return std::nullopt;
        QList<Item> items;
        for (const Item& item : std::as_const(section.items)) {
            if (item.kind == Kind::Point)
                AppendLiteral(items, u".");
            else if (item.kind == Kind::Comma)
                AppendLiteral(items, u",");
            else if (item.kind == Kind::Percent) {
                // General scales by a percent sign too.
                section.percent = !textAt;
                AppendLiteral(items, u"%");
            } else if (item.kind == Kind::Literal)
                AppendLiteral(items, item.text);
            else
                items.append(item);
        }
        section.items = std::move(items);
        section.kind = textAt ? SectionKind::Text : SectionKind::General;
        return section;
    }
    if (!ClassifyNumber(section))
        return std::nullopt;
    return section;
}

/// Up to 15 significant digits of a positive finite number as LibreOffice takes them: its shortest
/// decimal form rounded half up, so 7.934708258477205 has 7.93470825847721. The digits and the power
/// of ten of the first (value = d.ddd × 10^exponent).
struct Significant
{
    char digits[20] = {};
    int count = 0;
    int exponent = 0;
};

Significant SignificantDigits(double value, int precision = 15)
{
    char buffer[48];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    Significant s;
    const char* p = buffer;
    for (; p < result.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            s.digits[s.count++] = *p;
    }
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), result.ptr, s.exponent);
    if (s.count > precision) {
        const bool up = s.digits[precision] >= '5';
        s.count = precision;
        if (up) {
            int i = precision - 1;
            for (; i >= 0 && s.digits[i] == '9'; --i)
                s.digits[i] = '0';
            if (i >= 0) {
                ++s.digits[i];
            } else {
                s.digits[0] = '1';
                s.exponent += 1;
            }
        }
    }
    while (s.count < precision)
        s.digits[s.count++] = '0';
    return s;
}

void StripTrailingZeros(Significant& s)
{
    while (s.count > 1 && s.digits[s.count - 1] == '0')
        --s.count;
}

/// A number rounded to a number of decimals, half away from zero on its 15 significant digits as
/// LibreOffice rounds: the integer digits (empty for 0) and exactly that many decimal digits.
struct Rounded
{
    QString integer;
    QString fraction;
    bool isZero() const
    {
        return integer.isEmpty() &&
               std::all_of(fraction.cbegin(), fraction.cend(), [](QChar c) { return c == u'0'; });
    }
};

/// Significant digits rounded half up to a number of decimals.
Rounded RoundSignificant(const Significant& s, int decimals)
{
    Rounded rounded;
    const int keep = s.exponent + 1 + decimals;
    QByteArray digits;
    int exponent = s.exponent;
    if (keep < 0 || (keep == 0 && s.digits[0] < '5')) {
        rounded.fraction = QString(decimals, u'0');
        return rounded;
    }
    if (keep == 0) {
        digits = "1";
        exponent += 1;
    } else if (keep >= s.count) {
        digits = QByteArray(s.digits, s.count);
    } else {
        digits = QByteArray(s.digits, keep);
        if (s.digits[keep] >= '5') {
            qsizetype i = digits.size() - 1;
            for (; i >= 0 && digits[i] == '9'; --i)
                digits[i] = '0';
            if (i >= 0) {
                digits[i] = char(digits[i] + 1);
            } else {
                digits.prepend('1');
                digits.chop(1);
                exponent += 1;
            }
        }
    }
    // digits × 10^(exponent + 1 - digits.size()): the first exponent + 1 of them are whole.
    const int whole = exponent + 1;
    if (whole <= 0) {
        rounded.fraction = QString(-whole, u'0') + QString::fromLatin1(digits);
    } else if (whole >= digits.size()) {
        rounded.integer = QString::fromLatin1(digits) + QString(whole - digits.size(), u'0');
    } else {
        rounded.integer = QString::fromLatin1(digits.first(whole));
        rounded.fraction = QString::fromLatin1(digits.sliced(whole));
    }
    if (rounded.fraction.size() < decimals)
        rounded.fraction += QString(decimals - rounded.fraction.size(), u'0');
    else
        rounded.fraction.truncate(decimals);
    while (rounded.integer.startsWith(u'0'))
        rounded.integer.remove(0, 1);
    return rounded;
}

/// A number rounded to a number of decimals as LibreOffice rounds: whole numbers below 2^53 as they
/// are, to none by the binary value itself (1.005 is 100% in "0%"), else half up on 15 digits.
Rounded RoundDecimals(double value, int decimals)
{
    Rounded rounded;
    if (value == 0) {
        rounded.fraction = QString(decimals, u'0');
        return rounded;
    }
    if ((decimals == 0 && value < 4503599627370496.0) ||
        (value < 9007199254740992.0 && value == std::floor(value))) {
        const double whole = std::round(value);
        if (whole != 0)
            rounded.integer = QString::number(qint64(whole));
        rounded.fraction = QString(decimals, u'0');
        return rounded;
    }
    return RoundSignificant(SignificantDigits(value), decimals);
}

QString ExponentText(int exponent, int minimumDigits, bool plusSign)
{
    QString text = exponent < 0 ? QStringLiteral("-") : plusSign ? QStringLiteral("+") : QString();
    const QString digits = QString::number(std::abs(exponent));
    if (digits.size() < minimumDigits)
        text += QString(minimumDigits - digits.size(), u'0');
    return text + digits;
}

enum class GeneralForm { Plain, InCode };

/// The double nearest to a number's 15 significant digits; infinity when they round beyond the largest.
double FifteenDigitValue(double value)
{
    if (value == 0 || !std::isfinite(value))
        return value;
    const Significant s = SignificantDigits(std::fabs(value));
    // The digits as a whole number times a power of ten: "793470825847721e-14".
    char buffer[48];
    std::memcpy(buffer, s.digits, size_t(s.count));
    buffer[s.count] = 'e';
    const auto exponentEnd =
        std::to_chars(buffer + s.count + 1, buffer + sizeof buffer, s.exponent - s.count + 1).ptr;
    double rounded = 0;
    const auto read = std::from_chars(buffer, exponentEnd, rounded);
    if (read.ec == std::errc::result_out_of_range)
        rounded = HUGE_VAL;
    return std::copysign(rounded, value);
}

/// A number as General shows it. Alone, General shows whole numbers below 2^53 in full and others to
/// 15 significant digits, in scientific notation from 10^15 on and for small numbers that would take
/// many digits. In a code of more (a colour, a text, another section) it shows up to 20 decimals, and
/// above 10^15 all 15 digits in scientific notation.
QString GeneralText(double value, GeneralForm form)
{
    if (value == 0)
        return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    const QString sign = value < 0 ? QStringLiteral("-") : QString();
    Significant s;
    const auto scientific = [&](int minimumDigits) {
        QString text = sign + QLatin1Char(s.digits[0]);
        if (s.count > 1)
            text += u'.' + QString::fromLatin1(s.digits + 1, s.count - 1);
        return text + u'E' + ExponentText(s.exponent, minimumDigits, true);
    };
    if (form != GeneralForm::Plain) {
        if (magnitude > 1e15) {
            s = SignificantDigits(magnitude);
            return scientific(2);
        }
        const Rounded rounded = RoundDecimals(magnitude, 20);
        QString fraction = rounded.fraction;
        while (fraction.endsWith(u'0'))
            fraction.chop(1);
        if (rounded.integer.isEmpty() && fraction.isEmpty())
            return QStringLiteral("0");
        return sign + (rounded.integer.isEmpty() ? QStringLiteral("0") : rounded.integer) +
               (fraction.isEmpty() ? QString() : u'.' + fraction);
    }
    if (magnitude < 9007199254740992.0 && magnitude == std::floor(magnitude))
        return sign + QString::number(qint64(magnitude));
    // Fifteen digits of the very largest numbers would read as infinity: those keep all of theirs.
    s = SignificantDigits(magnitude, std::isfinite(FifteenDigitValue(magnitude)) ? 15 : 17);
    StripTrailingZeros(s);
    if (magnitude >= 1e15)
        return scientific(3);
    if (magnitude < 1e-4 && (s.exponent < -9 || s.count - s.exponent > 17))
        return scientific(2);
    const int whole = s.exponent + 1;
    if (whole <= 0)
        return sign + QStringLiteral("0.") + QString(-whole, u'0') + QString::fromLatin1(s.digits, s.count);
    if (whole >= s.count)
        return sign + QString::fromLatin1(s.digits, s.count) + QString(whole - s.count, u'0');
    return sign + QString::fromLatin1(s.digits, whole) + u'.' +
           QString::fromLatin1(s.digits + whole, s.count - whole);
}

/// Digits grouped by thousands, or the Indian way (12,34,567).
QString Grouped(const QString& digits, bool indian)
{
    QString grouped;
    const qsizetype n = digits.size();
    grouped.reserve(n + n / 2);
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype fromRight = n - i;
        if (i > 0 && ((!indian && fromRight % 3 == 0) ||
                      (indian && (fromRight == 3 || (fromRight > 3 && (fromRight - 3) % 2 == 0)))))
            grouped += u',';
        grouped += digits[i];
    }
    return grouped;
}

/// The integer part: its digit placeholders filled from the right, the leftmost taking what is left.
QString IntegerText(const QList<Item>& items, qsizetype end, const QString& digits, bool grouping,
                    bool indian)
{
    QList<qsizetype> placeholders;
    for (qsizetype i = 0; i < end; ++i) {
        if (items[i].kind == Kind::Digit)
            placeholders.append(i);
    }
    const qsizetype count = placeholders.size();
    if (count == 0) {
        // A code with decimals but no integer digits (".00") still shows a whole part other than zero.
        QString text;
        for (qsizetype i = 0; i < end; ++i) {
            if (items[i].kind == Kind::Literal)
                text += items[i].text;
        }
        return text + digits;
    }
    QList<QString> filled(count);
    qsizetype used = 0;
    for (qsizetype j = count - 1; j >= 0; --j) {
        const char16_t type = items[placeholders[j]].digit;
        const qsizetype remaining = digits.size() - used;
        if (j == 0 && remaining > 0) {
            filled[j] = digits.first(remaining);
            used = digits.size();
        } else if (remaining > 0) {
            filled[j] = digits[remaining - 1];
            ++used;
        } else {
            filled[j] = type == u'0' ? QStringLiteral("0") : type == u'?' ? QStringLiteral(" ") : QString();
        }
    }
    QString text;
    if (grouping) {
        QString joined = filled.join(QString());
        qsizetype blanks = 0;
        while (blanks < joined.size() && joined[blanks] == u' ')
            ++blanks;
        text = joined.first(blanks) + Grouped(joined.sliced(blanks), indian);
        // Literals before the first digit and after the last stay where they are.
        QString before;
        QString after;
        bool digitSeen = false;
        for (qsizetype i = 0; i < end; ++i) {
            if (items[i].kind == Kind::Digit)
                digitSeen = true;
            else if (items[i].kind == Kind::Literal)
                (digitSeen ? after : before) += items[i].text;
        }
        return before + text + after;
    }
    qsizetype next = 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (items[i].kind == Kind::Digit)
            text += filled[next++];
        else if (items[i].kind == Kind::Literal)
            text += items[i].text;
    }
    return text;
}

/// The decimal part after the point: trailing zeros dropped at "#", blanked at "?".
QString FractionText(const QList<Item>& items, qsizetype begin, qsizetype end, const QString& fraction,
                     bool& pointShown)
{
    QList<qsizetype> placeholders;
    for (qsizetype i = begin; i < end; ++i) {
        if (items[i].kind == Kind::Digit)
            placeholders.append(i);
    }
    QList<QString> filled(placeholders.size());
    for (qsizetype j = 0; j < placeholders.size(); ++j)
        filled[j] = fraction[j];
    // Zeros after the last digit that counts: gone at "#" (before anything shown), blank at "?".
    qsizetype lastNonZero = -1;
    for (qsizetype j = 0; j < placeholders.size(); ++j) {
        if (fraction[j] != u'0')
            lastNonZero = j;
    }
    bool dropping = true;
    for (qsizetype j = placeholders.size() - 1; j > lastNonZero; --j) {
        const char16_t type = items[placeholders[j]].digit;
        if (type == u'#' && dropping) {
            filled[j].clear();
        } else if (type == u'?') {
            filled[j] = QStringLiteral(" ");
            dropping = false;
        } else {
            dropping = false;
        }
    }
    QString text;
    qsizetype next = 0;
    bool shown = false;
    for (qsizetype i = begin; i < end; ++i) {
        if (items[i].kind == Kind::Digit) {
            shown = shown || !filled[next].isEmpty();
            text += filled[next++];
        } else if (items[i].kind == Kind::Literal) {
            text += items[i].text;
        }
    }
    pointShown = shown || placeholders.isEmpty();
    return text;
}

struct Rendered
{
    QString text;
    bool zero = false;
};

Rendered NumberText(const Section& section, double value, bool indian)
{
    double scaled = value;
    if (section.percent)
        scaled *= 100;
    for (int i = 0; i < section.thousandsScale; ++i)
        scaled /= 1000;
    const Rounded rounded = RoundDecimals(scaled, section.decimals);
    const QList<Item>& items = section.items;
    qsizetype point = -1;
    for (qsizetype i = 0; i < items.size() && point < 0; ++i) {
        if (items[i].kind == Kind::Point)
            point = i;
    }
    const qsizetype integerEnd = point < 0 ? items.size() : point;
    bool digits = false;
    for (const Item& item : items)
        digits = digits || item.kind == Kind::Digit;
    if (!digits) {
        // Only literals: no number is shown, so no sign either.
        QString text;
        for (const Item& item : items)
            text += item.text;
        return {text, true};
    }
    QString text = IntegerText(items, integerEnd, rounded.integer, section.grouping, indian);
    if (point >= 0) {
        bool pointShown = false;
        const QString fraction = FractionText(items, point + 1, items.size(), rounded.fraction, pointShown);
        if (pointShown || section.decimals == 0)
            text += u'.';
        text += fraction;
    }
    return {text, rounded.isZero()};
}

Rendered ScientificText(const Section& section, double value, bool indian)
{
    const QList<Item>& items = section.items;
    qsizetype exponentAt = -1;
    qsizetype point = -1;
    int integerDigits = 0;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i].kind == Kind::Exponent)
            exponentAt = i;
        else if (items[i].kind == Kind::Point && exponentAt < 0)
            point = i;
        else if (items[i].kind == Kind::Digit && point < 0 && exponentAt < 0)
            ++integerDigits;
    }
    const int interval = std::max(integerDigits, 1);
    const double scaled = value * (section.percent ? 100 : 1);
    int exponent = 0;
    Rounded mantissa;
    if (scaled == 0) {
        mantissa.fraction = QString(section.decimals, u'0');
    } else {
        // The exponent a multiple of the integer digits (engineering notation for "##0.0E+0").
        Significant s = SignificantDigits(scaled);
        const int first = s.exponent;
        exponent = int(std::floor(double(first) / interval)) * interval;
        s.exponent = first - exponent;
        mantissa = RoundSignificant(s, section.decimals);
        if (mantissa.integer.size() > interval) {
            exponent += interval;
            s.exponent -= interval;
            mantissa = RoundSignificant(s, section.decimals);
        }
    }
    const bool zero = mantissa.isZero();
    // A mantissa of nothing still shows its zero ("#E+0" gives 0E+0).
    if (mantissa.integer.isEmpty())
        mantissa.integer = QStringLiteral("0");
    const qsizetype mantissaEnd = exponentAt;
    QString text =
        IntegerText(items, point < 0 ? mantissaEnd : point, mantissa.integer, section.grouping, indian);
    if (point >= 0) {
        bool pointShown = false;
        const QString fraction = FractionText(items, point + 1, mantissaEnd, mantissa.fraction, pointShown);
        if (pointShown)
            text += u'.';
        text += fraction;
    }
    int exponentDigits = 0;
    for (qsizetype i = exponentAt + 1; i < items.size(); ++i)
        exponentDigits += items[i].kind == Kind::Digit;
    text += QChar(items[exponentAt].digit);
    text += ExponentText(exponent, exponentDigits, items[exponentAt].text.endsWith(u'+'));
    for (qsizetype i = exponentAt + 1; i < items.size(); ++i) {
        if (items[i].kind == Kind::Literal)
            text += items[i].text;
    }
    return {text, zero};
}

QString TwoDigits(int value)
{
    return value < 10 ? u'0' + QString::number(value) : QString::number(value);
}

/// The day and the time of day of a serial day number, rounded as LibreOffice rounds them: a time to
/// seven decimals of a second, and to the shown precision where that makes the next day.
std::optional<QString> DateTimeText(const Section& section, double value, bool date1904)
{
    // LibreOffice counts serial days from 30 December 1899; the 1904 system from 1 January 1904.
    const double serial = date1904 ? value + 1462 : value;
    QString text;
    if (section.elapsed) {
        const double scale = std::pow(10.0, section.secondDecimals);
        const double total = std::round(std::fabs(serial) * 86400 * scale) / scale;
        const double wholeSeconds = std::floor(total);
        // LibreOffice counts elapsed seconds in 32 bits.
        if (wholeSeconds > 4294967295.0)
            return QStringLiteral("#FMT");
        const qint64 seconds = qint64(wholeSeconds);
        const double fraction = total - wholeSeconds;
        bool largestDone = false;
        if (serial < 0 && total != 0)
            text += u'-';
        for (const Item& item : section.items) {
            qint64 part = 0;
            bool number = true;
            switch (item.kind) {
            case Kind::ElapsedHours:
                part = seconds / 3600;
                largestDone = true;
                break;
            case Kind::ElapsedMinutes:
                part = largestDone ? seconds / 60 % 60 : seconds / 60;
                largestDone = true;
                break;
            case Kind::ElapsedSeconds:
                part = largestDone ? seconds % 60 : seconds;
                largestDone = true;
                break;
            case Kind::Minute:
                part = largestDone ? seconds / 60 % 60 : seconds / 60;
                break;
            case Kind::Second:
                part = seconds % 60;
                break;
            case Kind::SecondFraction: {
                const QString digits = QString::number(fraction, 'f', item.count);
                text += digits.sliced(digits.indexOf(u'.'));
                number = false;
                break;
            }
            case Kind::Literal:
                text += item.text;
                number = false;
                break;
            default:
                number = false;
                break;
            }
            if (number) {
                const QString digits = QString::number(part);
                if (digits.size() < item.count)
                    text += QString(item.count - digits.size(), u'0');
                text += digits;
            }
        }
        return text;
    }

    // LibreOffice counts a date's time in milliseconds from 1970 and a time of day alone in seconds
    // from the first day, each to 15 significant digits: a time stored a hair before a whole second
    // shows that second.
    double day = 0;
    double seconds = 0;
    if (section.hasDate && !section.hasTime) {
        // A day alone is counted to the millisecond: a time a hair before midnight makes the next day.
        day = std::floor(serial);
        if (std::round((serial - day) * 86400000) >= 86400000)
            day += 1;
    } else if (section.hasDate) {
        const double fromEpoch = FifteenDigitValue((serial - 25569) * 86400000);
        day = std::floor(fromEpoch / 86400000) + 25569;
        seconds = (fromEpoch - (day - 25569) * 86400000) / 1000;
        // The time rounded as shown, where that makes the next day.
        const double scale = std::pow(10.0, section.secondDecimals);
        if (section.hasTime && std::round(seconds * scale) / scale >= 86400) {
            day += 1;
            seconds = 0;
        }
    } else {
        const double fromStart = FifteenDigitValue(serial * 86400);
        day = std::floor(fromStart / 86400);
        seconds = fromStart - day * 86400;
        // Days too many for their seconds to count leave the time of day at midnight.
        if (!(seconds >= 0 && seconds < 86400))
            seconds = 0;
    }
    // Beyond 1 January 32768 LibreOffice shows #FMT; before 15 October 1582 its days are those of
    // the Julian calendar, which are not read.
    if (section.hasDate && day > 11274307)
        return QStringLiteral("#FMT");
    if (section.hasDate && day < -115858)
        return std::nullopt;
    const qint64 whole = qint64(std::floor(seconds));
    const double fraction = seconds - double(whole);
    const int hours = int(whole / 3600 % 24);
    const int minutes = int(whole / 60 % 60);
    const int secs = int(whole % 60);
    bool twelveHours = false;
    for (const Item& item : section.items)
        twelveHours = twelveHours || item.kind == Kind::AmPm || item.kind == Kind::AP;

    const QDate date = section.hasDate ? QDate::fromJulianDay(2415019 + qint64(day)) : QDate();
    for (const Item& item : section.items) {
        switch (item.kind) {
        case Kind::Literal:
            text += item.text;
            break;
        case Kind::Year: {
            const int year = date.year();
            text += item.count <= 2 ? TwoDigits(((year % 100) + 100) % 100) : QString::number(year);
            break;
        }
        case Kind::Month:
            if (item.count == 1)
                text += QString::number(date.month());
            else if (item.count == 2)
                text += TwoDigits(date.month());
            else if (item.count == 3)
                text += QLatin1String(MonthNames[date.month() - 1], 3);
            else if (item.count == 5)
                text += QLatin1Char(MonthNames[date.month() - 1][0]);
            else
                text += QLatin1String(MonthNames[date.month() - 1]);
            break;
        case Kind::Day:
            if (item.count == 1)
                text += QString::number(date.day());
            else if (item.count == 2)
                text += TwoDigits(date.day());
            else if (item.count == 3)
                text += QLatin1String(DayNames[date.dayOfWeek() - 1], 3);
            else
                text += QLatin1String(DayNames[date.dayOfWeek() - 1]);
            break;
        case Kind::Hour: {
            const int shown = twelveHours ? (hours % 12 == 0 ? 12 : hours % 12) : hours;
            text += item.count == 1 ? QString::number(shown) : TwoDigits(shown);
            break;
        }
        case Kind::Minute:
            text += item.count == 1 ? QString::number(minutes) : TwoDigits(minutes);
            break;
        case Kind::Second:
            text += item.count == 1 ? QString::number(secs) : TwoDigits(secs);
            break;
        case Kind::SecondFraction: {
            // A fraction that rounds up to a whole second stays within the second shown.
            QString digits = QString::number(fraction, 'f', item.count);
            if (digits.startsWith(u'1'))
                digits = QStringLiteral("0.") + QString(item.count, u'9');
            text += digits.sliced(1);
            break;
        }
        case Kind::AmPm:
            text += hours < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            break;
        case Kind::AP:
            text += hours < 12 ? QStringLiteral("a") : QStringLiteral("p");
            break;
        default:
            break;
        }
    }
    return text;
}

} // namespace

struct NumberFormat::Format
{
    /// The sections numbers are shown in: one for all, or positive (and zero) and negative, or
    /// positive, negative and zero.
    QList<Section> numbers;
    std::optional<Section> text;
    bool indian = false;
};

namespace {

std::shared_ptr<const NumberFormat::Format> Compile(const QString& original)
{
    // Excel keeps codes to 255 characters; a longer one is no real format, and its literals could
    // make every cell a long text.
    if (original.size() > 255)
        return nullptr;
    QString code = original;
    // The system's long date and time, which LibreOffice shows in its English (US) forms.
    if (code.contains(QLatin1String("[$-F800]"), Qt::CaseInsensitive))
        code = QStringLiteral("dddd, mmmm d, yyyy");
    else if (code.contains(QLatin1String("[$-F400]"), Qt::CaseInsensitive))
        code = QStringLiteral("hh:mm:ss AM/PM");
    const QStringList parts = SplitSections(code);
    if (parts.size() > 4)
        return nullptr;
    auto format = std::make_shared<NumberFormat::Format>();
    Locale locale = Locale::English;
    bool currency = false;
    bool percent = false;
    QList<Section> sections;
    for (const QString& part : parts) {
        std::optional<Section> section = ParseSection(part, locale, currency);
        if (!section)
            return nullptr;
        percent = percent || section->percent;
        sections.append(std::move(*section));
    }
    // LibreOffice shows a currency format's percent sign without scaling; no broker writes one.
    if (currency && percent)
        return nullptr;
    if (sections.size() == 4) {
        if (sections[3].kind != SectionKind::Text && !sections[3].items.isEmpty())
            return nullptr;
        format->text = sections.takeLast();
    }
    // A text section stands for texts wherever it is; LibreOffice heeds the first of several.
    for (qsizetype i = 0; i < sections.size(); ++i) {
        if (sections[i].kind == SectionKind::Text) {
            const Section text = sections.takeAt(i--);
            if (!format->text)
                format->text = text;
        }
    }
    if (sections.size() == 1 && sections[0].kind == SectionKind::General && sections[0].items.size() == 1 &&
        parts.size() == 1 && !sections[0].coloured)
        sections[0].plainGeneral = true;
    format->numbers = std::move(sections);
    format->indian = locale == Locale::India;
    return format;
}

} // namespace

NumberFormat::NumberFormat()
    : NumberFormat(QStringLiteral("General"))
{
}

NumberFormat::NumberFormat(const QString& code)
    : m_code(code)
    , m_format(Compile(code))
{
    // A code not read leaves texts as they are when it cannot have a text section.
    m_textUnchanged = m_format ? !m_format->text : !code.contains(u'@') && SplitSections(code).size() < 4;
}

bool NumberFormat::isGeneral() const
{
    return m_format && m_format->numbers.size() == 1 && m_format->numbers[0].plainGeneral;
}

std::optional<QString> NumberFormat::number(double value, bool date1904) const
{
    if (!m_format)
        return std::nullopt;
    if (!std::isfinite(value))
        return QStringLiteral("#NUM!");
    const QList<Section>& sections = m_format->numbers;
    if (sections.isEmpty())
        return GeneralText(value, GeneralForm::InCode);
    qsizetype index = 0;
    if (sections.size() == 2)
        index = value < 0 ? 1 : 0;
    else if (sections.size() >= 3)
        index = value > 0 ? 0 : value < 0 ? 1 : 2;
    const Section& section = sections[index];
    // One section shows a minus sign of its own before everything; the others show the magnitude.
    const bool autoMinus = sections.size() == 1 && value < 0;
    const double magnitude = std::fabs(value);

    Rendered rendered;
    switch (section.kind) {
    case SectionKind::General: {
        const QString general = GeneralText(section.percent ? magnitude * 100 : magnitude,
                                            section.plainGeneral ? GeneralForm::Plain : GeneralForm::InCode);
        for (const Item& item : section.items)
            rendered.text += item.kind == Kind::General ? general : item.text;
        rendered.zero = magnitude == 0;
        break;
    }
    case SectionKind::Number:
        rendered = NumberText(section, magnitude, m_format->indian);
        break;
    case SectionKind::Scientific:
        rendered = ScientificText(section, magnitude, m_format->indian);
        break;
    case SectionKind::DateTime:
        // Dates count from their day, however far before 1900; only elapsed times carry a sign.
        return DateTimeText(section, sections.size() == 1 ? value : magnitude, date1904);
    case SectionKind::Text:
        return std::nullopt;
    }
    // LibreOffice writes minus zero in scientific notation with its sign.
    if (autoMinus && (!rendered.zero || (section.kind == SectionKind::Scientific && value < 0)))
        return u'-' + rendered.text;
    if (sections.size() == 1 && section.kind == SectionKind::Scientific && value == 0 && std::signbit(value))
        return u'-' + rendered.text;
    return rendered.text;
}

std::optional<QString> NumberFormat::text(const QString& text) const
{
    if (m_textUnchanged)
        return text;
    if (!m_format)
        return std::nullopt;
    QString shown;
    for (const Item& item : m_format->text->items)
        shown += item.kind == Kind::Text ? text : item.text;
    return shown;
}

namespace {

/// The formats of the cells of a workbook are few; each is read once per thread.
const NumberFormat& CachedFormat(const QString& code)
{
    thread_local QHash<QString, NumberFormat> formats;
    auto found = formats.constFind(code);
    if (found != formats.constEnd())
        return *found;
    if (formats.size() > 1000)
        formats.clear();
    return *formats.insert(code, NumberFormat(code));
}

} // namespace

std::optional<QString> FormatNumber(double value, const QString& formatCode, bool date1904)
{
    return CachedFormat(formatCode).number(value, date1904);
}

std::optional<QString> FormatText(const QString& text, const QString& formatCode)
{
    return CachedFormat(formatCode).text(text);
}

QString BuiltInNumberFormat(int id)
{
    // As LibreOffice shows them in its English (US) locale, but for the short date: Excel shows that one
    // in the order of the machine's locale, which on a broker's desk is day, month, year, as every date
    // of this system is written.
    static const QHash<int, QString> codes = {
        {0, QStringLiteral("General")},
        {1, QStringLiteral("0")},
        {2, QStringLiteral("0.00")},
        {3, QStringLiteral("#,##0")},
        {4, QStringLiteral("#,##0.00")},
        {5, QStringLiteral("$#,##0_);($#,##0)")},
        {6, QStringLiteral("$#,##0_);[Red]($#,##0)")},
        {7, QStringLiteral("$#,##0.00_);($#,##0.00)")},
        {8, QStringLiteral("$#,##0.00_);[Red]($#,##0.00)")},
        {9, QStringLiteral("0%")},
        {10, QStringLiteral("0.00%")},
        {11, QStringLiteral("0.00E+00")},
        {12, QStringLiteral("# ?/?")},
        {13, QStringLiteral("# ?\?/?\?")},
        {14, QStringLiteral("dd/mm/yyyy")},
        {15, QStringLiteral("d-mmm-yy")},
        {16, QStringLiteral("d-mmm")},
        {17, QStringLiteral("mmm-yy")},
        {18, QStringLiteral("h:mm AM/PM")},
        {19, QStringLiteral("h:mm:ss AM/PM")},
        {20, QStringLiteral("h:mm")},
        {21, QStringLiteral("h:mm:ss")},
        {22, QStringLiteral("dd/mm/yyyy hh:mm")},
        {37, QStringLiteral("#,##0_);(#,##0)")},
        {38, QStringLiteral("#,##0_);[Red](#,##0)")},
        {39, QStringLiteral("#,##0.00_);(#,##0.00)")},
        {40, QStringLiteral("#,##0.00_);[Red](#,##0.00)")},
        {41, QStringLiteral("_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)")},
        {42, QStringLiteral("_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)")},
        {43, QStringLiteral("_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"?\?_);_(@_)")},
        {44, QStringLiteral("_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"?\?_);_(@_)")},
        {45, QStringLiteral("mm:ss")},
        {46, QStringLiteral("[h]:mm:ss")},
        {47, QStringLiteral("mm:ss.0")},
        {48, QStringLiteral("##0.0E+0")},
        {49, QStringLiteral("@")},
    };
    if (const auto found = codes.constFind(id); found != codes.constEnd())
        return *found;
    // The East Asian ids LibreOffice shows as General, dates and times of its locale.
    if (id >= 23 && id <= 26)
        return QStringLiteral("General");
    if ((id >= 27 && id <= 31) || id == 36)
        return QStringLiteral("dd/mm/yyyy");
    if (id >= 32 && id <= 35)
        return QStringLiteral("h:mm:ss");
    return {};
}
