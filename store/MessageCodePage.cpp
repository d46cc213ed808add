#include "MessageCodePage.h"

#include <QLatin1StringView>

#include <array>
#include <optional>

namespace {

constexpr char16_t Unmapped = 0;

// windows-1252 agrees with Latin-1 outside 0x80-0x9F; these are its characters there.
constexpr std::array<char16_t, 32> Cp1252High = {
    u'\u20AC', Unmapped,  u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', Unmapped,  u'\u017D', Unmapped,
    Unmapped,  u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', Unmapped,  u'\u017E', u'\u0178',
};

struct ReadableForm
{
    char32_t codePoint;
    QLatin1StringView form;
};

// Only characters the page lacks: the ones it holds (curly quotes, en and em dash, no-break space)
// already reach the client as typed. Each form reads as the character did on a phone that shows it.
constexpr std::array ReadableForms = {
    ReadableForm{0x2000, QLatin1StringView(" ")},   // en quad
    ReadableForm{0x2001, QLatin1StringView(" ")},   // em quad
    ReadableForm{0x2002, QLatin1StringView(" ")},   // en space
    ReadableForm{0x2003, QLatin1StringView(" ")},   // em space
    ReadableForm{0x2004, QLatin1StringView(" ")},   // three-per-em space
    ReadableForm{0x2005, QLatin1StringView(" ")},   // four-per-em space
    ReadableForm{0x2006, QLatin1StringView(" ")},   // six-per-em space
    ReadableForm{0x2007, QLatin1StringView(" ")},   // figure space
    ReadableForm{0x2008, QLatin1StringView(" ")},   // punctuation space
    ReadableForm{0x2009, QLatin1StringView(" ")},   // thin space
    ReadableForm{0x200A, QLatin1StringView(" ")},   // hair space
    ReadableForm{0x200B, QLatin1StringView("")},    // zero-width space
    ReadableForm{0x200C, QLatin1StringView("")},    // zero-width non-joiner
    ReadableForm{0x200D, QLatin1StringView("")},    // zero-width joiner
    ReadableForm{0x2010, QLatin1StringView("-")},   // hyphen
    ReadableForm{0x2011, QLatin1StringView("-")},   // non-breaking hyphen
    ReadableForm{0x2012, QLatin1StringView("-")},   // figure dash
    ReadableForm{0x2015, QLatin1StringView("-")},   // horizontal bar
    ReadableForm{0x201B, QLatin1StringView("'")},   // single high-reversed-9 quotation mark
    ReadableForm{0x201F, QLatin1StringView("\"")},  // double high-reversed-9 quotation mark
    ReadableForm{0x202F, QLatin1StringView(" ")},   // narrow no-break space
    ReadableForm{0x2032, QLatin1StringView("'")},   // prime
    ReadableForm{0x2033, QLatin1StringView("\"")},  // double prime
    ReadableForm{0x205F, QLatin1StringView(" ")},   // medium mathematical space
    ReadableForm{0x2060, QLatin1StringView("")},    // word joiner
    ReadableForm{0x20B9, QLatin1StringView("Rs.")}, // Indian rupee sign
    ReadableForm{0x2212, QLatin1StringView("-")},   // minus sign
    ReadableForm{0x3000, QLatin1StringView(" ")},   // ideographic space
    ReadableForm{0xFEFF, QLatin1StringView("")},    // zero-width no-break space (byte order mark)
};

std::optional<char> codePageByte(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<char>(codePoint);
    if (codePoint <= 0x9F) {
        if (Cp1252High[codePoint - 0x80] == Unmapped)
            return static_cast<char>(codePoint);
        return std::nullopt;
    }
    for (std::size_t i = 0; i < Cp1252High.size(); ++i) {
        if (Cp1252High[i] != Unmapped && Cp1252High[i] == codePoint)
            return static_cast<char>(0x80 + i);
    }
    return std::nullopt;
}

std::optional<QLatin1StringView> readableForm(char32_t codePoint)
{
    for (const ReadableForm& readable : ReadableForms) {
        if (readable.codePoint == codePoint)
            return readable.form;
    }
    return std::nullopt;
}

// Calls visit with each code point of text and the UTF-16 units that hold it; a surrogate without its
// partner is a code point of its own.
template <typename Visit>
void forEachCodePoint(const QString& text, Visit&& visit)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            visit(QChar::surrogateToUcs4(c, text.at(i + 1)), QStringView(text).mid(i, 2));
            ++i;
        } else {
            visit(char32_t(c.unicode()), QStringView(text).mid(i, 1));
        }
    }
}

} // namespace

QByteArray ToSystemCodePage(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    forEachCodePoint(text, [&bytes](char32_t codePoint, QStringView) {
        if (const std::optional<char> byte = codePageByte(codePoint))
            bytes += *byte;
        else if (const std::optional<QLatin1StringView> form = readableForm(codePoint))
            bytes += QByteArrayView(form->data(), form->size());
        else
            bytes += '?';
    });
    return bytes;
}

QString FromSystemCodePage(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const bool high = byte >= 0x80 && byte <= 0x9F && Cp1252High[byte - 0x80] != Unmapped;
        *out++ = high ? QChar(Cp1252High[byte - 0x80]) : QChar(static_cast<char16_t>(byte));
    }
    return text;
}

CodePageLoss FindCodePageLoss(const QString& text)
{
    CodePageLoss loss;
    forEachCodePoint(text, [&loss](char32_t codePoint, QStringView units) {
        if (codePageByte(codePoint))
            return;
        const QString character = units.toString();
        if (const std::optional<QLatin1StringView> form = readableForm(codePoint)) {
            const CodePageReplacement replacement{character, *form};
            if (!loss.replaced.contains(replacement))
                loss.replaced.append(replacement);
        } else if (!loss.lost.contains(character)) {
            loss.lost.append(character);
        }
    });
    return loss;
}
