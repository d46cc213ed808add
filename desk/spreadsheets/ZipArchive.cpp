#include "ZipArchive.h"

#include <QFile>

#include <unzip.h>

#include <algorithm>
#include <climits>

ZipEntryReader::ZipEntryReader(void* zip)
    : m_zip(zip)
    , m_start(unzGetCurrentFileZStreamPos64(zip))
{
}

ZipEntryReader::~ZipEntryReader()
{
    close();
}

void ZipEntryReader::close()
{
    if (isOpen())
        unzCloseCurrentFile(m_zip);
    QIODevice::close();
}

qint64 ZipEntryReader::readData(char* data, qint64 maxSize)
{
    if (!m_overflow.isEmpty())
        return -1;
    const int read = unzReadCurrentFile(m_zip, data, unsigned(std::min<qint64>(maxSize, INT_MAX)));
    if (read < 0)
        return -1;
    m_inflated += read;
    if (m_inflated > kZipEntryBytes) {
        m_overflow = QStringLiteral("inflates beyond %1 MB").arg(kZipEntryBytes >> 20);
        return -1;
    }
    // What it has taken from the zip so far, in the blocks minizip reads.
    const qint64 packed = qint64(unzGetCurrentFileZStreamPos64(m_zip) - m_start);
    if (m_inflated > kZipRatioFrom && m_inflated > kZipEntryRatio * std::max<qint64>(packed, 1)) {
        m_overflow = QStringLiteral("inflates to more than %1 times its packed size").arg(kZipEntryRatio);
        return -1;
    }
    return read;
}

ZipArchive::ZipArchive(const QString& path)
    : m_zip(unzOpen64(QFile::encodeName(path).constData()))
{
}

ZipArchive::~ZipArchive()
{
    if (m_zip)
        unzClose(m_zip);
}

bool ZipArchive::locate(const QString& entry, Qt::CaseSensitivity sensitivity)
{
    // minizip: 1 compares case-sensitively, 2 ignoring case.
    return m_zip && unzLocateFile(m_zip, entry.toUtf8().constData(),
                                  sensitivity == Qt::CaseSensitive ? 1 : 2) == UNZ_OK;
}

std::unique_ptr<ZipEntryReader> ZipArchive::openCurrent()
{
    if (!m_zip || unzOpenCurrentFile(m_zip) != UNZ_OK)
        return nullptr;
    std::unique_ptr<ZipEntryReader> device(new ZipEntryReader(m_zip));
    // Unbuffered: the XML reader asks for blocks of its own, so a second copy would only cost time.
    device->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    return device;
}
