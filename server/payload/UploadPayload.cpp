#include "UploadPayload.h"

#include <QFile>
#include <QXmlStreamReader>

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The system's own reason: QFile says "Unknown error" for a full disk or a file grown past its limit.
[[noreturn]] void throwFileError(const char* action, const QString& path, int error)
{
    throw PayloadFileError(
        QStringLiteral("cannot %1 %2: %3")
            .arg(QLatin1StringView(action), path, QString::fromLocal8Bit(std::strerror(error)))
            .toStdString());
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

QByteArray HexEncodeText(const QByteArray& bytes)
{
    return bytes.toHex().toUpper();
}

QByteArray ReadWholeFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int descriptor = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        throwFileError("read", path, errno);
    QByteArray bytes;
    struct stat status = {};
    if (::fstat(descriptor, &status) == 0 && status.st_size > 0)
        bytes.reserve(static_cast<qsizetype>(status.st_size));
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::close(descriptor);
            throwFileError("read", path, error);
        }
        if (got == 0)
            break;
        bytes.append(buffer.data(), static_cast<qsizetype>(got));
    }
    ::close(descriptor);
    return bytes;
}

void WriteWholeFile(const QString& path, const QByteArray& bytes)
{
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) != 0 && errno != ENOENT)
        throwFileError("remove", path, errno);
    // The upload holds the messages of the store, which only its owner may read: a new file, never one
    // that appeared in its place since.
    const int descriptor =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (descriptor < 0)
        throwFileError("write", path, errno);
    const char* next = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, next, static_cast<std::size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // A write that takes nothing without an error would loop for ever; a full disk is its cause.
            const int error = written < 0 ? errno : ENOSPC;
            ::close(descriptor);
            throwFileError("write", path, error);
        }
        next += written;
        left -= written;
    }
    // Some file systems (NFS, a full disk with delayed allocation) report the failed write only here.
    // On Linux an interrupted close has still released the descriptor, so EINTR is no failure.
    if (::close(descriptor) != 0 && errno != EINTR)
        throwFileError("write", path, errno);
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
