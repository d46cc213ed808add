#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

/// One message as the gateway reads it from an upload.
struct DecodedMessage
{
    QString number;
    QString text;
};

/// The messages of a joined upload, or why the upload cannot be read.
struct DecodedUpload
{
    QList<DecodedMessage> messages;
    QString error; // empty when the upload is valid
};

/// Reads the joined hex text of an upload: upper-case hex digits, a zlib stream with the default
/// level's header 78 9C and nothing after it, windows-1252 text of records "number CR LF text CR LF"
/// with numbers of exactly 10 characters. A text holding CR LF is read whole: it ends at the first
/// CR LF followed by the end or by another record's number and its CR LF.
DecodedUpload DecodeUpload(const QByteArray& hex);
