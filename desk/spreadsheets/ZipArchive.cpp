#include "ZipArchive.h"

#include <QFile>

#include <unzip.h>

#include <algorithm>
#include <climits>

namespace {

/// One open entry of a zip, read straight from minizip into the caller's buffer.
class ZipEntryDevice : public QIODevice
{
public:
    explicit ZipEntryDevice(unzFile zip)
        : m_zip(zip)
    {
    }
    ~ZipEntryDevice() override { close(); }

    bool isSequential() const override { return true; }

    void close() override
    {
        if (isOpen())
            unzCloseCurrentFile(m_zip);
        QIODevice::close();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const int read = unzReadCurrentFile(m_zip, data, unsigned(std::min<qint64>(maxSize, INT_MAX)));
        return read < 0 ? -1 : read;
    }

    qint64 writeData(const char*, qint64) override { return -1; }

private:
    unzFile m_zip;
};

} // namespace

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

std::unique_ptr<QIODevice> ZipArchive::openCurrent()
{
    if (!m_zip || unzOpenCurrentFile(m_zip) != UNZ_OK)
        return nullptr;
    auto device = std::make_unique<ZipEntryDevice>(m_zip);
    // Unbuffered: the XML reader asks for blocks of its own, so a second copy would only cost time.
    device->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    return device;
}
