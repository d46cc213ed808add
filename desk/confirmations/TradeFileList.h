#pragma once

#include <QString>
#include <QStringList>

/// The trade files listed for one read, each file at most once: a path naming a file already listed
/// (compared by its resolved path, so links and ".." do not hide it) is passed over, as reading it
/// again would stage every trade twice.
class TradeFileList
{
public:
    /// Appends the files not listed yet, in order; returns those passed over, as given.
    QStringList add(const QStringList& files);
    void removeAt(qsizetype index);
    void clear();

    /// The listed files, as given.
    const QStringList& files() const { return m_files; }

    /// What the screens and the command line say of a file passed over.
    static QString alreadyListedText(const QString& file);

private:
    QStringList m_files;
    QStringList m_resolved;
};
