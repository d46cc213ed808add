#include "ImportClientsCommand.h"

#include "ClientImport.h"
#include "StoreError.h"
#include "Workbook.h"

namespace {

// The column of the sheet headed by the option's value: the first heading that reads the same, else the
// first that does with letter case aside.
int headedColumn(const QStringList& headings, const QCommandLineParser& parser, const QString& option)
{
    if (!parser.isSet(option))
        return 0;
    const QString wanted = parser.value(option);
    for (Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (qsizetype i = 0; i < headings.size(); ++i) {
            if (headings[i].compare(wanted, sensitivity) == 0)
                return int(i) + 1;
        }
    }
    throw UsageError(QStringLiteral("--%1: the sheet has no column headed \"%2\" (its headings: %3)")
                         .arg(option, wanted, headings.join(QStringLiteral(", "))));
}

} // namespace

void ImportClientsCommand::configure(QCommandLineParser& parser) const
{
    parser.setApplicationDescription(summary());
    parser.addOption(
        {QStringLiteral("sheet"), QStringLiteral("the sheet to read (the first)"), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("name-col"), QStringLiteral("the heading of the name column"),
                      QStringLiteral("HEADER")});
    parser.addOption({QStringLiteral("mobile-col"), QStringLiteral("the heading of the mobile-number column"),
                      QStringLiteral("HEADER")});
    parser.addOption({QStringLiteral("code-col"), QStringLiteral("the heading of the client-code column"),
                      QStringLiteral("HEADER")});
    parser.addOption({QStringLiteral("email-col"),
                      QStringLiteral("the heading of the e-mail column (none: empty addresses)"),
                      QStringLiteral("HEADER")});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("the workbook: .xls, .xlsx, .ods or .csv"));
}

int ImportClientsCommand::run(const QCommandLineParser& parser, CommandContext& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1)
        throw UsageError(QStringLiteral("%1 needs exactly one workbook").arg(name()));
    for (const char* option : {"name-col", "mobile-col", "code-col"}) {
        if (!parser.isSet(QLatin1String(option)))
            throw UsageError(QStringLiteral("%1 needs --%2").arg(name(), QLatin1String(option)));
    }

    const Workbook workbook = Workbook::open(arguments.first());
    const Worksheet sheet = parser.isSet(QStringLiteral("sheet"))
                                ? workbook.sheet(parser.value(QStringLiteral("sheet")))
                                : workbook.sheet(0);
    const QStringList headings = ClientImport::headings(sheet);
    ImportColumns columns;
    columns.name = headedColumn(headings, parser, QStringLiteral("name-col"));
    columns.mobile = headedColumn(headings, parser, QStringLiteral("mobile-col"));
    columns.code = headedColumn(headings, parser, QStringLiteral("code-col"));
    columns.email = headedColumn(headings, parser, QStringLiteral("email-col"));

    const ImportPreview preview = ClientImport::split(sheet, columns);
    QTextStream& out = context.out();
    out << "valid " << preview.valid.size() << Qt::endl;
    out << "invalid " << preview.invalid.size() << Qt::endl;
    for (const ImportRow& row : preview.invalid)
        context.err() << ClientImport::invalidRowText(row) << Qt::endl;
    if (preview.stoppedAt > 0)
        context.err() << QStringLiteral("reading stopped at row %1, whose name cell is empty; rows %2 to %3 "
                                        "were not read")
                             .arg(preview.stoppedAt)
                             .arg(preview.stoppedAt + 1)
                             .arg(sheet.rowCount())
                      << Qt::endl;
    ImportResult result;
    try {
        result = ClientImport(context.store()).save(preview.valid);
    } catch (const StoreError& error) {
        // The saving is one transaction: a refusal part way leaves the client master as it was.
        throw StoreError(QStringLiteral("%1; no client was added").arg(error.message()), error.code());
    }
    out << "added " << result.added << Qt::endl;
    out << "skipped " << result.skipped.size() << Qt::endl;
    for (const SkippedImportRow& skipped : result.skipped)
        context.err() << skipped.text() << Qt::endl;
    return 0;
}
