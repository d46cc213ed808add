#include "cZLIB.h"

#include <zlib.h>

#include <limits>

void cZLIB::CompressString(QByteArray& Data, int Mode)
{
    Q_UNUSED(Mode);
    if (Data.isEmpty())
        return;
    if (static_cast<qulonglong>(Data.size()) > std::numeric_limits<uLong>::max())
        return;
    const auto sourceLength = static_cast<uLong>(Data.size());
    uLongf compressedLength = compressBound(sourceLength);
    if (compressedLength > static_cast<uLongf>(std::numeric_limits<qsizetype>::max()))
        return;
    QByteArray compressed(static_cast<qsizetype>(compressedLength), Qt::Uninitialized);
    const int result = compress(reinterpret_cast<Bytef*>(compressed.data()), &compressedLength,
                                reinterpret_cast<const Bytef*>(Data.constData()), sourceLength);
    if (result != Z_OK)
        return;
    compressed.truncate(static_cast<qsizetype>(compressedLength));
    Data = compressed;
}
