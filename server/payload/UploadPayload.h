#pragma once

#include "MessageCodePage.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <stdexcept>

// The upload as the gateway receives it: the message list in the system code page, compressed by
// cZLIB, written as hex text, cut into chunks, each chunk posted inside a rowset document.

/// A file of the upload that could not be read or written; the message names the file and the reason.
class PayloadFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Characters per chunk request: every chunk but the last has exactly this many hex characters.
inline constexpr qsizetype UploadChunkLength = 2048;

/// Two upper-case hex digits per byte, high digit first.
QByteArray HexEncodeText(const QByteArray& bytes);

/// The whole content of a file; throws PayloadFileError, naming the system's reason, when it cannot be
/// read.
QByteArray ReadWholeFile(const QString& path);
/// Deletes the file if it exists and writes bytes as its whole content, readable by its owner only;
/// throws PayloadFileError, naming the system's reason (a full disk, a file too large), when the old
/// file cannot be removed or the new one cannot be written completely.
void WriteWholeFile(const QString& path, const QByteArray& bytes);

/// Appends one message list record: the number, CR LF, the text, CR LF, in the system code page. Each
/// line break inside the text (CR LF, CR or LF) is written as a single LF. The caller passes the last
/// 10 characters of the mobile number.
void AppendMessageRecord(QByteArray& list, const QString& last10Number, const QString& text);

/// One chunk request's content: its hex characters and its Status (0 more to follow, 1 the last).
struct UploadChunk
{
    QByteArray text;
    int status = 0;

    bool operator==(const UploadChunk&) const = default;
};

/// Cuts the hex text as the upload sends it: 2048 characters with Status 0 while more than 2048
/// remain, then the rest (1 to 2048 characters) with Status 1. An empty text gives one empty last chunk.
QList<UploadChunk> SplitIntoChunks(const QByteArray& hex);

/// The rowset template (Msg_Text column, no rows) with the one row holding chunk in its data section.
QByteArray ChunkDocument(const QByteArray& chunk);
/// The Msg_Text of a chunk document, or nothing when the document is not well-formed XML, does not
/// carry the template's schema byte for byte, or does not hold exactly one row with a Msg_Text.
std::optional<QByteArray> ChunkFromDocument(const QByteArray& document);

/// A query value as it goes into a gateway URL: unchanged except for the characters that would
/// change the request's meaning or are not allowed in a URL, which are percent-encoded (non-ASCII
/// characters as their UTF-8 bytes).
QByteArray EncodeQueryValue(const QString& value);
/// "?ID=" id "&MsgLen=" length "&Status=" status "&Flag=" upload name, values encoded as above.
QByteArray ChunkQuery(const QString& userId, qsizetype msgLen, int status, const QString& uploadName);
