#include "ReportCommand.h"

#include "MessageGrid.h"
#include "Reports.h"

#include <QDate>

namespace {

QDate dateOption(const QCommandLineParser& parser, const QString& option)
{
    if (!parser.isSet(option))
        return QDate::currentDate();
    const QString text = parser.value(option);
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        throw UsageError(QStringLiteral("--%1: \"%2\" is not a date YYYY-MM-DD").arg(option, text));
    return date;
}

} // namespace

void ReportCommand::configure(QCommandLineParser& parser) const
{
    parser.setApplicationDescription(summary());
    parser.addOption({QStringLiteral("from"), QStringLiteral("the first day of the sent list (today)"),
                      QStringLiteral("YYYY-MM-DD")});
    parser.addOption({QStringLiteral("to"), QStringLiteral("the last day of the sent list (today)"),
                      QStringLiteral("YYYY-MM-DD")});
    parser.addOption({QStringLiteral("html"), QStringLiteral("also write the grid as an HTML page"),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("xlsx"), QStringLiteral("also write the grid as a workbook"),
                      QStringLiteral("FILE")});
    parser.addPositionalArgument(QStringLiteral("REPORT"), QStringLiteral("clients, sent or counter"));
}

int ReportCommand::run(const QCommandLineParser& parser, CommandContext& context)
{
    const QStringList arguments = parser.positionalArguments();
    const std::optional<ReportKind> kind =
        arguments.size() == 1 ? Reports::kindNamed(arguments.first()) : std::nullopt;
    if (!kind)
        throw UsageError(QStringLiteral("%1 needs one of clients, sent or counter").arg(name()));
    const QDate from = dateOption(parser, QStringLiteral("from"));
    const QDate to = dateOption(parser, QStringLiteral("to"));

    const ExportGrid grid = Reports(context.store()).grid(*kind, from, to);
    QTextStream& out = context.out();
    for (int row = 0; row < grid.rowCount(); ++row) {
        QStringList cells = grid.rowTexts(row);
        for (QString& cell : cells)
            cell = EscapeGridText(cell);
        out << cells.join(u'\t') << '\n';
    }
    out.flush();

    int status = 0;
    if (parser.isSet(QStringLiteral("html"))) {
        const QString file = parser.value(QStringLiteral("html"));
        if (SaveGridAsHtml(file, grid)) {
            context.err() << "wrote " << file << Qt::endl;
        } else {
            context.err() << "brisant: " << file << ": cannot be written" << Qt::endl;
            status = 1;
        }
    }
    if (parser.isSet(QStringLiteral("xlsx"))) {
        const WorkbookExport written = ExportGridToWorkbookAs(parser.value(QStringLiteral("xlsx")), grid);
        if (written.ok()) {
            context.err() << "wrote " << written.path << Qt::endl;
        } else {
            context.err() << "brisant: " << written.error << Qt::endl;
            status = 1;
        }
    }
    return status;
}
