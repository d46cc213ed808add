#include "UploadDecoder.h"

#include "UploadPayload.h"

#include <zlib.h>

#include <limits>
#include <optional>

namespace {

constexpr qsizetype NumberLength = 10;

bool isUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

std::optional<QByteArray> inflateStream(const QByteArray& compressed, QString* error)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        *error = QStringLiteral("zlib cannot start");
        return std::nullopt;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    QByteArray out;
    char buffer[64 * 1024];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, static_cast<qsizetype>(sizeof buffer - stream.avail_out));
        if (result == Z_BUF_ERROR && stream.avail_in == 0)
            break;
    }
    const uInt left = stream.avail_in;
    inflateEnd(&stream);
    if (result != Z_STREAM_END) {
        *error = QStringLiteral("the zlib stream is damaged or cut short");
        return std::nullopt;
    }
    if (left != 0) {
        *error = QStringLiteral("%1 bytes follow the zlib stream").arg(left);
        return std::nullopt;
    }
    return out;
}

bool isRecordStart(const QString& list, qsizetype at)
{
    if (list.size() < at + NumberLength + 2 || list.mid(at + NumberLength, 2) != u"\r\n")
        return false;
    for (qsizetype i = at; i < at + NumberLength; ++i) {
        if (list.at(i) == u'\r' || list.at(i) == u'\n')
            return false;
    }
    return true;
}

} // namespace

DecodedUpload DecodeUpload(const QByteArray& hex)
{
    DecodedUpload upload;
    for (qsizetype i = 0; i < hex.size(); ++i) {
        if (!isUpperHex(hex.at(i))) {
            upload.error = QStringLiteral("character %1 of the hex text is not 0-9 or A-F").arg(i + 1);
            return upload;
        }
    }
    if (hex.size() % 2 != 0) {
        upload.error = QStringLiteral("odd number of hex digits");
        return upload;
    }
    if (hex.size() > std::numeric_limits<uInt>::max()) {
        upload.error = QStringLiteral("upload too large");
        return upload;
    }
    const QByteArray compressed = QByteArray::fromHex(hex);
    if (!compressed.startsWith("\x78\x9C")) {
        upload.error =
            QStringLiteral("the zlib header is %1, not 789C").arg(QString::fromLatin1(hex.left(4)));
        return upload;
    }
    const std::optional<QByteArray> bytes = inflateStream(compressed, &upload.error);
    if (!bytes)
        return upload;

    const QString list = FromSystemCodePage(*bytes);
    qsizetype at = 0;
    while (at < list.size()) {
        const qsizetype record = upload.messages.size() + 1;
        if (!isRecordStart(list, at)) {
            upload.error =
                QStringLiteral("record %1: the number is not 10 characters followed by CR LF").arg(record);
            upload.messages.clear();
            return upload;
        }
        const qsizetype textStart = at + NumberLength + 2;
        qsizetype end = list.indexOf(u"\r\n", textStart);
        while (end >= 0 && end + 2 != list.size() && !isRecordStart(list, end + 2))
            end = list.indexOf(u"\r\n", end + 1);
        if (end < 0) {
            upload.error = QStringLiteral("record %1: the text does not end with CR LF").arg(record);
            upload.messages.clear();
            return upload;
        }
        upload.messages.append({list.mid(at, NumberLength), list.mid(textStart, end - textStart)});
        at = end + 2;
    }
    if (upload.messages.isEmpty())
        upload.error = QStringLiteral("the upload holds no message");
    return upload;
}
