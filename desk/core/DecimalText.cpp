#include "DecimalText.h"

#include <QLocale>
#include <QVarLengthArray>

#include <algorithm>

namespace {

// More integer digits would pass the range of 64-bit hundredths.
constexpr qsizetype kMostIntegerDigits = 16;

char16_t unit(char c)
{
    return char16_t(static_cast<unsigned char>(c));
}

char16_t unit(QChar c)
{
    return c.unicode();
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Every digit of a number in order, where the decimal point stands among them, and its sign.
struct Digits
{
    QVarLengthArray<char, 64> digits;
    qsizetype point = 0;
    bool negative = false;

    // The digit at position i, counted from the first one written; zeros beyond either end.
    qint64 at(qsizetype i) const { return i >= 0 && i < digits.size() ? digits[i] : 0; }
};

enum class Form {
    // Digits with an optional point: what spreadsheets and the other screens take.
    Plain,
    // As trade files write numbers: grouping commas and an exponent besides.
    Written,
};

// An exponent beyond this only says "too large" or "zero", whatever its digits.
constexpr qsizetype kLargestExponent = 1000;

template <typename View>
bool readDigits(View text, Form form, Digits& number)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(unit(text[begin])))
        ++begin;
    while (end > begin && isBlank(unit(text[end - 1])))
        --end;
    if (begin < end && (unit(text[begin]) == u'+' || unit(text[begin]) == u'-'))
        number.negative = unit(text[begin++]) == u'-';

    qsizetype point = -1;
    // Written form: the digits since the last comma, and whether a comma has stood yet. Groups of two or
    // three digits follow one of one to three, and the last has three: 1,234,567 or 12,34,567.
    qsizetype group = 0;
    bool grouped = false;
    const auto lastGroupWhole = [&] {
        return !grouped || group == 3;
    };
    qsizetype i = begin;
    for (; i < end; ++i) {
        const char16_t c = unit(text[i]);
        if (isDigit(c)) {
            number.digits.append(char(c - u'0'));
            ++group;
        } else if (c == u'.' && point < 0) {
            if (!lastGroupWhole())
                return false;
            point = number.digits.size();
        } else if (form == Form::Written && c == u',' && point < 0) {
            if (group == 0 || group > 3 || (grouped && group < 2))
                return false;
            grouped = true;
            group = 0;
        } else {
            break;
        }
    }
    if (point < 0 && !lastGroupWhole())
        return false;
    if (number.digits.isEmpty())
        return false;
    number.point = point < 0 ? number.digits.size() : point;
    if (i == end)
        return true;

    // Only an exponent may follow: E or e, a sign, digits.
    if (form != Form::Written || (unit(text[i]) != u'e' && unit(text[i]) != u'E'))
        return false;
    ++i;
    bool negativeExponent = false;
    if (i < end && (unit(text[i]) == u'+' || unit(text[i]) == u'-'))
        negativeExponent = unit(text[i++]) == u'-';
    if (i == end)
        return false;
    qsizetype exponent = 0;
    for (; i < end; ++i) {
        const char16_t c = unit(text[i]);
        if (!isDigit(c))
            return false;
        exponent = std::min(exponent * 10 + (c - u'0'), kLargestExponent);
    }
    number.point += negativeExponent ? -exponent : exponent;
    return true;
}

std::optional<qint64> hundredthsOf(const Digits& number, int pointShift, Rounding rounding)
{
    const qsizetype point = number.point + pointShift;
    qsizetype first = std::min<qsizetype>(0, point);
    while (first < point && number.at(first) == 0)
        ++first;
    if (point - first > kMostIntegerDigits)
        return std::nullopt;
    qint64 hundredths = 0;
    for (qsizetype i = first; i < point + 2; ++i)
        hundredths = hundredths * 10 + number.at(i);
    const qint64 next = number.at(point + 2);
    bool up = next >= 5;
    if (rounding == Rounding::HalfToEven && next == 5) {
        // A tie only when every digit after the five is zero.
        bool beyond = false;
        for (qsizetype i = point + 3; i < number.digits.size() && !beyond; ++i)
            beyond = number.at(i) != 0;
        up = beyond || hundredths % 2 != 0;
    }
    if (up)
        ++hundredths;
    return number.negative ? -hundredths : hundredths;
}

template <typename View>
std::optional<qint64> roundToHundredths(View text, int pointShift, Rounding rounding, Form form)
{
    Digits number;
    if (!readDigits(text, form, number))
        return std::nullopt;
    return hundredthsOf(number, pointShift, rounding);
}

} // namespace

std::optional<qint64> RoundToHundredths(QByteArrayView text, int pointShift, Rounding rounding)
{
    return roundToHundredths(text, pointShift, rounding, Form::Plain);
}

std::optional<qint64> RoundToHundredths(QStringView text, int pointShift, Rounding rounding)
{
    return roundToHundredths(text, pointShift, rounding, Form::Plain);
}

std::optional<qint64> ReadHundredths(QByteArrayView text, int pointShift, Rounding rounding)
{
    return roundToHundredths(text, pointShift, rounding, Form::Written);
}

std::optional<qint64> ReadHundredths(QStringView text, int pointShift, Rounding rounding)
{
    return roundToHundredths(text, pointShift, rounding, Form::Written);
}

std::optional<qint64> ReadWholeNumber(QByteArrayView text)
{
    Digits number;
    if (!readDigits(text, Form::Written, number))
        return std::nullopt;
    for (qsizetype i = std::max<qsizetype>(number.point, 0); i < number.digits.size(); ++i) {
        if (number.digits[i] != 0)
            return std::nullopt;
    }
    qsizetype first = 0;
    while (first < number.point && number.at(first) == 0)
        ++first;
    if (number.point - first > kMostIntegerDigits + 2)
        return std::nullopt;
    qint64 value = 0;
    for (qsizetype i = first; i < number.point; ++i)
        value = value * 10 + number.at(i);
    return number.negative ? -value : value;
}

bool IsWrittenNumber(QByteArrayView text)
{
    Digits number;
    return readDigits(text, Form::Written, number);
}

bool IsWrittenNumber(QStringView text)
{
    Digits number;
    return readDigits(text, Form::Written, number);
}

QString FormatHundredths(qint64 hundredths)
{
    const bool negative = hundredths < 0;
    const quint64 magnitude = negative ? 0 - quint64(hundredths) : quint64(hundredths);
    QString text =
        QString::number(magnitude / 100) + u'.' + QString::number(magnitude % 100).rightJustified(2, u'0');
    return negative ? u'-' + text : text;
}

QString ShortestHundredths(qint64 hundredths)
{
    QString text = FormatHundredths(hundredths);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

namespace {

template <typename View>
std::optional<double> numericValue(View text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(unit(text[begin])))
        ++begin;
    while (end > begin && isBlank(unit(text[end - 1])))
        --end;
    QByteArray plain;
    plain.reserve(end - begin);
    bool digits = false;
    bool point = false;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = unit(text[i]);
        if (i == begin && (c == u'+' || c == u'-')) {
            if (c == u'-')
                plain += '-';
        } else if (isDigit(c)) {
            digits = true;
            plain += char(c);
        } else if (c == u'.' && !point) {
            point = true;
            plain += '.';
        } else {
            return std::nullopt;
        }
    }
    if (!digits)
        return std::nullopt;
    bool ok = false;
    const double value = plain.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

} // namespace

std::optional<double> NumericValue(QByteArrayView text)
{
    return numericValue(text);
}

std::optional<double> NumericValue(QStringView text)
{
    return numericValue(text);
}

QString NumberAtStart(QStringView text)
{
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && (isBlank(text[i].unicode()) || text[i] == u'\n' || text[i] == u'\r'))
            ++i;
    };
    QString mantissa;
    skipBlanks();
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    bool point = false;
    bool digits = false;
    for (;; ++i) {
        skipBlanks();
        if (i >= text.size())
            break;
        const char16_t c = text[i].unicode();
        if (isDigit(c)) {
            mantissa += QChar(c);
            digits = true;
        } else if (c == u'.' && !point) {
            mantissa += u'.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return QStringLiteral("0");

    // An exponent moves the decimal point; without digits after it, it is not part of the number.
    int exponent = 0;
    if (i < text.size() && QStringLiteral("eEdD").contains(text[i])) {
        qsizetype j = i + 1;
        const auto skip = [&] {
            while (j < text.size() && isBlank(text[j].unicode()))
                ++j;
        };
        skip();
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            negativeExponent = text[j++] == u'-';
        long long value = 0;
        bool any = false;
        for (skip(); j < text.size() && isDigit(text[j].unicode()); ++j, skip()) {
            value = std::min<long long>(value * 10 + (text[j].unicode() - u'0'), 400);
            any = true;
        }
        if (any)
            exponent = int(negativeExponent ? -value : value);
    }

    qsizetype pointAt = mantissa.indexOf(u'.');
    if (pointAt < 0)
        pointAt = mantissa.size();
    else
        mantissa.remove(pointAt, 1);
    pointAt += exponent;
    if (pointAt <= 0) {
        mantissa = QString(-pointAt + 1, u'0') + mantissa;
        pointAt = 1;
    } else if (pointAt > mantissa.size()) {
        mantissa += QString(pointAt - mantissa.size(), u'0');
    }
    QString number = mantissa.left(pointAt) + u'.' + mantissa.mid(pointAt);
    return ShortestDecimal(negative ? u'-' + number : number);
}

QString ShortestDecimal(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QString ShortestDecimal(QStringView decimalText)
{
    QStringView text = decimalText.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        text = text.sliced(1);
    }
    qsizetype point = -1;
    bool digits = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isDigit(text[i].unicode()))
            digits = true;
        else if (text[i] == u'.' && point < 0)
            point = i;
        else
            return decimalText.toString();
    }
    if (!digits)
        return decimalText.toString();
    QStringView whole = point < 0 ? text : text.first(point);
    QStringView fraction = point < 0 ? QStringView() : text.sliced(point + 1);
    while (whole.size() > 1 && whole[0] == u'0')
        whole = whole.sliced(1);
    while (!fraction.isEmpty() && fraction.back() == u'0')
        fraction.chop(1);
    QString result = whole.isEmpty() ? QStringLiteral("0") : whole.toString();
    if (!fraction.isEmpty())
        result += u'.' + fraction.toString();
    if (negative && result != QLatin1String("0"))
        result.prepend(u'-');
    return result;
}
