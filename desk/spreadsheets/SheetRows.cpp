#include "SheetRows.h"

#include "DecimalText.h"
#include "MessageText.h"

bool ReadsAsNumber(const QString& cell)
{
    QString text = cell;
    text.remove(u',');
    return NumericValue(QStringView(text)).has_value();
}

QString CleanedNumber(const QString& cell)
{
    return ShortestDecimal(NumberAtStart(CleanMobileNumber(cell)));
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
