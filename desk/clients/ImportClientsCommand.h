#pragma once

#include "Command.h"

/// `brisant import-clients FILE ...`: "Show Data" then "SAVE" of frmImportExcel, with the counts printed.
class ImportClientsCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("import-clients"); }
    QString summary() const override
    {
        return QStringLiteral("add the clients of a workbook's sheet to the client master");
    }
    void configure(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, CommandContext& context) override;
};
