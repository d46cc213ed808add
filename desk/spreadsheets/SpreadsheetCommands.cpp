#include "SpreadsheetCommands.h"

void LedgerCommand::configure(QCommandLineParser&) const {}
int LedgerCommand::run(const QCommandLineParser&, CommandContext&)
{
    return 1;
}
void TemplateCommand::configure(QCommandLineParser&) const {}
int TemplateCommand::run(const QCommandLineParser&, CommandContext&)
{
    return 1;
}
void StockCommand::configure(QCommandLineParser&) const {}
int StockCommand::run(const QCommandLineParser&, CommandContext&)
{
    return 1;
}
