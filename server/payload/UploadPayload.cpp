#include "UploadPayload.h"

#include <QFile>
#include <QXmlStreamReader>

#include <array>

namespace {

constexpr char16_t Unmapped = 0;

// windows-1252 agrees with Latin-1 outside 0x80-0x9F; these are its characters there.
constexpr std::array<char16_t, 32> Cp1252High = {
    u'\u20AC', Unmapped,  u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', Unmapped,  u'\u017D', Unmapped,
    Unmapped,  u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', Unmapped,  u'\u017E', u'\u0178',
};

char codePageByte(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<char>(codePoint);
    if (codePoint <= 0x9F)
        return Cp1252High[codePoint - 0x80] == Unmapped ? static_cast<char>(codePoint) : '?';
    for (std::size_t i = 0; i < Cp1252High.size(); ++i) {
        if (Cp1252High[i] != Unmapped && Cp1252High[i] == codePoint)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

QByteArray templateHead()
{
    return QByteArrayLiteral(
        "<xml xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\" "
        "xmlns:dt=\"uuid:C2F41010-65B3-11d1-A29F-00AA00C14882\" "
        "xmlns:rs=\"urn:schemas-microsoft-com:rowset\" "
        "xmlns:z=\"#RowsetSchema\">"
        "   <s:Schema id=\"RowsetSchema\">"
        "       <s:ElementType name=\"row\" content=\"eltOnly\">"
        "           <s:AttributeType name=\"Msg_Text\" rs:number=\"2\" rs:nullable=\"true\" "
        "rs:maydefer=\"true\" "
        "rs:writeunknown=\"true\">"
        "               <s:datatype dt:type=\"string\" dt:maxLength=\"536870910\" rs:long=\"true\"/>"
        "           </s:AttributeType>"
        "           <s:extends type=\"rs:rowbase\"/>"
        "       </s:ElementType>"
        "   </s:Schema>"
        "   <rs:data>");
}

QByteArray templateTail()
{
    return QByteArrayLiteral("   </rs:data>"
                             "</xml>");
}

QByteArray escapeAttribute(const QByteArray& value)
{
    QByteArray escaped;
    escaped.reserve(value.size());
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            // Attribute value normalisation would turn raw tab, CR and LF into blanks.
            if (byte == '\t' || byte == '\n' || byte == '\r' || byte >= 0x80)
                escaped += "&#" + QByteArray::number(byte) + ';';
            else
                escaped += c;
        }
    }
    return escaped;
}

bool isWhitespaceOnly(QStringView text)
{
    for (const QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n')
            return false;
    }
    return true;
}

} // namespace

QByteArray ToSystemCodePage(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            bytes += '?';
            ++i;
            continue;
        }
        bytes += codePageByte(c.unicode());
    }
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

QByteArray HexEncodeText(const QByteArray& bytes)
{
    return bytes.toHex().toUpper();
}

QByteArray ReadWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PayloadFileError(
            QStringLiteral("cannot read %1: %2").arg(path, file.errorString()).toStdString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PayloadFileError(
            QStringLiteral("cannot read %1: %2").arg(path, file.errorString()).toStdString());
    return bytes;
}

void WriteWholeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.exists() && !file.remove())
        throw PayloadFileError(
            QStringLiteral("cannot remove %1: %2").arg(path, file.errorString()).toStdString());
    // The upload holds the messages of the store, which only its owner may read.
    if (!file.open(QIODevice::WriteOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(bytes) != bytes.size() || !file.flush())
        throw PayloadFileError(
            QStringLiteral("cannot write %1: %2").arg(path, file.errorString()).toStdString());
}

void AppendMessageRecord(QByteArray& list, const QString& last10Number, const QString& text)
{
    list += ToSystemCodePage(last10Number);
    list += "\r\n";
    // CR LF separates the records: a line break inside a text goes out as a single LF, so that a text
    // can never pass a number of its own to the gateway.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(u'\r', u'\n');
    list += ToSystemCodePage(lines);
    list += "\r\n";
}

QList<UploadChunk> SplitIntoChunks(const QByteArray& hex)
{
    QList<UploadChunk> chunks;
    const qsizetype length = hex.size();
    qsizetype sent = 0;
    while (sent < length - UploadChunkLength) {
        chunks.append({hex.mid(sent, UploadChunkLength), 0});
        sent += UploadChunkLength;
    }
    chunks.append({hex.mid(sent), 1});
    return chunks;
}

QByteArray ChunkDocument(const QByteArray& chunk)
{
    return templateHead() + "<z:row Msg_Text=\"" + escapeAttribute(chunk) + "\"/>" + templateTail();
}

std::optional<QByteArray> ChunkFromDocument(const QByteArray& document)
{
    const QByteArray head = templateHead();
    const QByteArray tail = templateTail();
    if (document.size() < head.size() + tail.size() || !document.startsWith(head) || !document.endsWith(tail))
        return std::nullopt;

    QXmlStreamReader reader(document);
    std::optional<QByteArray> text;
    int depth = 0;
    int rows = 0;
    bool inData = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            ++depth;
            if (depth == 2 && reader.qualifiedName() == u"rs:data") {
                inData = true;
            } else if (inData) {
                // The only thing the data section may hold is one empty row carrying Msg_Text alone.
                const QXmlStreamAttributes attributes = reader.attributes();
                if (depth != 3 || reader.qualifiedName() != u"z:row" ||
                    reader.namespaceUri() != u"#RowsetSchema" || attributes.size() != 1 ||
                    attributes.first().qualifiedName() != u"Msg_Text" || ++rows > 1)
                    return std::nullopt;
                const QString value = attributes.first().value().toString();
                QByteArray bytes;
                bytes.reserve(value.size());
                for (const QChar c : value) {
                    if (c.unicode() > 0xFF)
                        return std::nullopt;
                    bytes += static_cast<char>(c.unicode());
                }
                text = bytes;
            }
        } else if (reader.isEndElement()) {
            if (depth == 2 && inData)
                inData = false;
            --depth;
        } else if (reader.isCharacters() && inData && !isWhitespaceOnly(reader.text())) {
            return std::nullopt;
        }
    }
    if (reader.hasError() || rows != 1)
        return std::nullopt;
    return text;
}

QByteArray EncodeQueryValue(const QString& value)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    const QByteArray utf8 = value.toUtf8();
    QByteArray encoded;
    encoded.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        // Delimiters of the query and characters a URL may not hold; everything else goes in as it is.
        const bool escape = byte <= 0x20 || byte >= 0x7F || QByteArrayView("&#%+=?\"<>\\^`{|}").contains(c);
        if (escape) {
            encoded += '%';
            encoded += Digits[byte >> 4];
            encoded += Digits[byte & 0x0F];
        } else {
            encoded += c;
        }
    }
    return encoded;
}

QByteArray ChunkQuery(const QString& userId, qsizetype msgLen, int status, const QString& uploadName)
{
    return "?ID=" + EncodeQueryValue(userId) + "&MsgLen=" + QByteArray::number(msgLen) +
           "&Status=" + QByteArray::number(status) + "&Flag=" + EncodeQueryValue(uploadName);
}
