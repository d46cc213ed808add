#include "DecimalText.h"

#include <QVarLengthArray>

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

template <typename View>
std::optional<qint64> roundToHundredths(View text, int pointShift)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(unit(text[begin])))
        ++begin;
    while (end > begin && isBlank(unit(text[end - 1])))
        --end;
    bool negative = false;
    if (begin < end && (unit(text[begin]) == u'+' || unit(text[begin]) == u'-'))
        negative = unit(text[begin++]) == u'-';

    // Every digit in order, and where the decimal point stands among them.
    QVarLengthArray<char, 64> digits;
    qsizetype point = -1;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = unit(text[i]);
        if (isDigit(c))
            digits.append(char(c - u'0'));
        else if (c == u'.' && point < 0)
            point = digits.size();
        else
            return std::nullopt;
    }
    if (digits.isEmpty())
        return std::nullopt;
    if (point < 0)
        point = digits.size();
    point += pointShift;

    // The digit at position i, counted from the first one written; zeros beyond either end.
    const auto digit = [&](qsizetype i) -> qint64 {
        return i >= 0 && i < digits.size() ? digits[i] : 0;
    };
    qsizetype first = std::min<qsizetype>(0, point);
    while (first < point && digit(first) == 0)
        ++first;
    if (point - first > kMostIntegerDigits)
        return std::nullopt;
    qint64 hundredths = 0;
    for (qsizetype i = first; i < point + 2; ++i)
        hundredths = hundredths * 10 + digit(i);
    if (digit(point + 2) >= 5)
        ++hundredths;
    return negative ? -hundredths : hundredths;
}

} // namespace

std::optional<qint64> RoundToHundredths(QByteArrayView text, int pointShift)
{
    return roundToHundredths(text, pointShift);
}

std::optional<qint64> RoundToHundredths(QStringView text, int pointShift)
{
    return roundToHundredths(text, pointShift);
}

QString FormatHundredths(qint64 hundredths)
{
    const bool negative = hundredths < 0;
    const quint64 magnitude = negative ? 0 - quint64(hundredths) : quint64(hundredths);
    QString text =
        QString::number(magnitude / 100) + u'.' + QString::number(magnitude % 100).rightJustified(2, u'0');
    return negative ? u'-' + text : text;
}
