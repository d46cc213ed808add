#pragma once

#include <QIODevice>
#include <QString>

#include <memory>

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
    std::unique_ptr<QIODevice> openCurrent();

private:
    void* m_zip = nullptr;
};
