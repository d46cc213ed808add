#include "TradeFileList.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString resolved(const QString& file)
{
    const QFileInfo info(file);
    const QString canonical = info.canonicalFilePath();
    // A file that does not exist (yet) is reported when it is read; until then its path stands.
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

QStringList TradeFileList::add(const QStringList& files)
{
    QStringList passedOver;
    for (const QString& file : files) {
        const QString key = resolved(file);
        if (m_resolved.contains(key)) {
            passedOver << file;
            continue;
        }
        m_files << file;
        m_resolved << key;
    }
    return passedOver;
}

void TradeFileList::removeAt(qsizetype index)
{
    m_files.removeAt(index);
    m_resolved.removeAt(index);
}

void TradeFileList::clear()
{
    m_files.clear();
    m_resolved.clear();
}

QString TradeFileList::alreadyListedText(const QString& file)
{
    return QStringLiteral("File already in the List : %1").arg(QDir::toNativeSeparators(file));
}
