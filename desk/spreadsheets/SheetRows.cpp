#include "SheetRows.h"

#include "DecimalText.h"
#include "MessageText.h"

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == QChar(0x00A0) || c == QChar(0x202F);
}

// A currency sign or name in front of or behind an amount: "₹", "$", "Rs.", "Rs", "INR".
qsizetype currencyAtStart(QStringView text)
{
    if (!text.isEmpty() && text.front().category() == QChar::Symbol_Currency)
        return 1;
    for (const QLatin1StringView name :
         {QLatin1StringView("Rs."), QLatin1StringView("Rs"), QLatin1StringView("INR")}) {
        if (text.startsWith(name, Qt::CaseInsensitive))
            return name.size();
    }
    return 0;
}

qsizetype currencyAtEnd(QStringView text)
{
    if (!text.isEmpty() && text.back().category() == QChar::Symbol_Currency)
        return 1;
    for (const QLatin1StringView name : {QLatin1StringView("INR"), QLatin1StringView("Rs.")}) {
        if (text.endsWith(name, Qt::CaseInsensitive))
            return name.size();
    }
    return 0;
}

// An amount as a sheet shows it in a currency or accounting format, back to plain decimal text:
// "₹ 1,234.50" and "Rs. 1,234.50" give "1234.50", "(1,234.50)" and "-₹ 1,234.50" give "-1234.50".
// Grouping commas and blanks go from any text; what is not an amount stays otherwise as it was.
QString PlainAmount(const QString& cell)
{
    QString text = cell;
    text.removeIf([](QChar c) { return c == u',' || isBlank(c); });
    bool negative = false;
    if (text.size() >= 2 && text.startsWith(u'(') && text.endsWith(u')')) {
        negative = true;
        text = text.mid(1, text.size() - 2);
    } else if (text.startsWith(u'-') && currencyAtStart(QStringView(text).sliced(1)) > 0) {
        negative = true;
        text.remove(0, 1);
    }
    if (const qsizetype sign = currencyAtStart(text))
        text.remove(0, sign);
    else if (const qsizetype sign = currencyAtEnd(text))
        text.chop(sign);
    return negative ? u'-' + text : text;
}

} // namespace

bool ReadsAsNumber(const QString& cell)
{
    return NumericValue(QStringView(PlainAmount(cell))).has_value();
}

QString CleanedNumber(const QString& cell)
{
    return ShortestDecimal(NumberAtStart(CleanMobileNumber(PlainAmount(cell))));
}

QString CleanedCode(const QString& cell)
{
    QString code = cell.trimmed();
    code.remove(QChar(0x00A0));
    code = code.trimmed();
    code.remove(u' ');
    return code;
}

QString FillPlaceholders(const QString& text, const QList<std::pair<QString, QString>>& values)
{
    QString filled;
    filled.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        bool replaced = false;
        for (const auto& [placeholder, value] : values) {
            if (!placeholder.isEmpty() && QStringView(text).sliced(i).startsWith(placeholder)) {
                filled += value;
                i += placeholder.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            filled += text.at(i++);
    }
    return filled;
}

QString CutAtWholeCharacters(const QString& text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    // Half of a character outside the Basic Multilingual Plane would be invalid text in the queue.
    if (length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

QString CutTextWarning(const QString& mobile, const QString& code)
{
    return QStringLiteral("Message lenth is grater then 159, So this message is reduce ") + u'\n' +
           QStringLiteral(" Mobile No = ") + mobile + QStringLiteral(" and Code= ") + code;
}

namespace {

QString foldCode(const QString& code)
{
    return code.trimmed().toCaseFolded();
}

} // namespace

ClientsByCode::ClientsByCode(const Store& store)
    : m_clients(ClientTable(store).all())
{
    m_byCode.reserve(m_clients.size());
    for (qsizetype i = 0; i < m_clients.size(); ++i) {
        const QString folded = foldCode(m_clients.at(i).code);
        if (!folded.isEmpty() && !m_byCode.contains(folded))
            m_byCode.insert(folded, i);
    }
}

const ClientRow* ClientsByCode::find(const QString& code) const
{
    const auto found = m_byCode.constFind(foldCode(code));
    return found == m_byCode.constEnd() ? nullptr : &m_clients.at(*found);
}
