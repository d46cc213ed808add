#pragma once

#include <QByteArray>

/// Compresses an upload's message list into a zlib stream (RFC 1950) at the default level.
class cZLIB
{
public:
    /// Replaces Data by its compressed bytes. Empty data stays empty; on any failure Data stays as it
    /// was and nothing is reported, so the caller then sends the uncompressed bytes. Mode is accepted
    /// for the callers' sake (they pass 15, the window bits zlib's compress uses anyway) and ignored.
    void CompressString(QByteArray& Data, int Mode);
};
