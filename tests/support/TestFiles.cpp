#include "TestFiles.h"

#include "ClientTable.h"

#include <QFile>

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList ReadLines(const QString& path)
{
    QStringList lines = QString::fromUtf8(ReadFile(path)).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool WriteLines(const QString& path, const QStringList& lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (const QString& line : lines) {
        if (file.write(line.toUtf8() + '\n') < 0)
            return false;
    }
    return true;
}

void StoreClients(const Store& store, const QString& csvPath)
{
    const QStringList lines = ReadLines(csvPath);
    for (const QString& line : lines.mid(1)) {
        const QStringList fields = line.split(u',');
        ClientTable(store).insert({0, fields.value(0), fields.value(1), fields.value(2), fields.value(3)});
    }
}
