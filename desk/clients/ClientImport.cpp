#include "ClientImport.h"

#include "ClientTable.h"
#include "Workbook.h"

#include <QHash>

#include <algorithm>

QString SkippedImportRow::text() const
{
    if (row.code.trimmed().isEmpty())
        return QStringLiteral("row %1: %2: %3").arg(row.sheetRow).arg(row.name, reason);
    return QStringLiteral("row %1: %2, %3: %4").arg(row.sheetRow).arg(row.name, row.code.trimmed(), reason);
}

ClientImport::ClientImport(const Store& store)
    : m_store(store)
{
}

QStringList ClientImport::headings(const Worksheet& sheet)
{
    QStringList texts;
    for (int column = 1;; ++column) {
        QString text = sheet.cell(1, column);
        if (text.isEmpty())
            return texts;
        texts << std::move(text);
    }
}

bool ClientImport::isValidMobile(const QString& mobile)
{
    // Ten digits once the blanks around it are gone: a blank, sign or point inside is no number the
    // dispatch server could send to.
    const QString trimmed = mobile.trimmed();
    return trimmed.size() == 10 &&
           std::all_of(trimmed.begin(), trimmed.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QString ClientImport::invalidRowText(const ImportRow& row)
{
    if (row.mobile.trimmed().isEmpty())
        return QStringLiteral("row %1: %2: no mobile number").arg(row.sheetRow).arg(row.name);
    return QStringLiteral("row %1: %2, %3: the mobile number is not ten digits")
        .arg(row.sheetRow)
        .arg(row.name, row.mobile);
}

ImportPreview ClientImport::split(const Worksheet& sheet, const ImportColumns& columns)
{
    ImportPreview preview;
    for (int row = 2; row <= sheet.rowCount(); ++row) {
        ImportRow read{row, sheet.cell(row, columns.name), sheet.cell(row, columns.mobile),
                       columns.email > 0 ? sheet.cell(row, columns.email) : QString(),
                       sheet.cell(row, columns.code)};
        if (read.name.isEmpty()) {
            if (row < sheet.rowCount())
                preview.stoppedAt = row;
            break;
        }
        (isValidMobile(read.mobile) ? preview.valid : preview.invalid).append(std::move(read));
    }
    return preview;
}

ImportResult ClientImport::save(const QList<ImportRow>& valid) const
{
    ImportResult result;
    QList<ClientRow> clients;
    QList<const ImportRow*> sources;
    clients.reserve(valid.size());
    sources.reserve(valid.size());
    for (const ImportRow& row : valid) {
        // A client needs a name, a mobile number and a code.
        QString missing;
        if (row.name.isEmpty())
            missing = QStringLiteral("no name");
        else if (row.mobile.trimmed().isEmpty())
            missing = QStringLiteral("no mobile number");
        else if (row.code.trimmed().isEmpty())
            missing = QStringLiteral("no client code");
        if (!missing.isEmpty()) {
            result.skipped.append({row, missing});
            continue;
        }
        clients.append({0, row.name, row.mobile.trimmed(), row.code.trimmed(), row.email});
        sources.append(&row);
    }

    const QList<ClientTable::Outcome> outcomes = ClientTable(m_store).insertNew(clients);
    // The row that added each code, for the rows that repeat it; looked for only when one does.
    QHash<QString, int> firstRow;
    const auto addedBy = [&](const QString& code) {
        if (firstRow.isEmpty()) {
            for (qsizetype i = 0; i < outcomes.size(); ++i) {
                if (outcomes[i] == ClientTable::Outcome::Added)
                    firstRow.insert(clients[i].code.toCaseFolded(), sources[i]->sheetRow);
            }
        }
        return firstRow.value(code.toCaseFolded());
    };
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        const ImportRow& row = *sources[i];
        switch (outcomes[i]) {
        case ClientTable::Outcome::Added:
            ++result.added;
            break;
        case ClientTable::Outcome::CodeStored:
            result.skipped.append({row, QStringLiteral("the code is already in the client master")});
            break;
        case ClientTable::Outcome::CodeRepeated:
            result.skipped.append(
                {row, QStringLiteral("the code repeats row %1").arg(addedBy(clients[i].code))});
            break;
        }
    }
    // Skipped rows in sheet order, whichever check stopped them.
    std::stable_sort(
        result.skipped.begin(), result.skipped.end(),
        [](const SkippedImportRow& a, const SkippedImportRow& b) { return a.row.sheetRow < b.row.sheetRow; });
    return result;
}
