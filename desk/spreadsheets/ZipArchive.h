#pragma once

#include <QIODevice>
#include <QString>

#include <memory>

/// One entry of a ZipArchive being inflated as it is read. It stops with an error past its bounds: a
/// part of a workbook inflating beyond kZipEntryBytes, or beyond kZipEntryRatio times what it has
/// taken from the zip once past kZipRatioFrom, is a zip bomb, never a real workbook.
class ZipEntryReader : public QIODevice
{
public:
    ~ZipEntryReader() override;
    bool isSequential() const override { return true; }
    void close() override;
    /// Why reading stopped early, as the end of a sentence ("inflates beyond 4096 MB"); empty while
    /// within its bounds.
    const QString& overflow() const { return m_overflow; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    friend class ZipArchive;
    explicit ZipEntryReader(void* zip);

    void* m_zip;
    quint64 m_start = 0;
    qint64 m_inflated = 0;
    QString m_overflow;
};

/// What one entry may inflate to: a sheet of a million rows of ordinary width is about 1 GB of .xlsx
/// XML and more of .ods; real XML inflates 10 to 50 times, a bomb some 1000 times.
inline constexpr qint64 kZipEntryBytes = qint64(4) << 30;
inline constexpr qint64 kZipEntryRatio = 100;
inline constexpr qint64 kZipRatioFrom = 16 << 20;

/// A zip file opened for reading through the system minizip, whose entries are read one at a time as
/// streams. Used by the workbook readers (and by tests that look inside a workbook).
///
/// The system minizip is the one libxlsxwriter writes through, so both share one copy of the zip
/// functions in a process.
class ZipArchive
{
public:
    /// Opens the file by its path as the file system spells it; isOpen() tells whether it is a zip.
    explicit ZipArchive(const QString& path);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool isOpen() const { return m_zip != nullptr; }
    /// Makes the named entry the current one; false when the zip holds no such entry.
    bool locate(const QString& entry, Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);
    /// The current entry as a sequential read-only device that inflates as it is read; nothing when it
    /// cannot be unpacked. Only one entry is open at a time, and the device must not outlive the archive.
    std::unique_ptr<ZipEntryReader> openCurrent();

private:
    void* m_zip = nullptr;
};
