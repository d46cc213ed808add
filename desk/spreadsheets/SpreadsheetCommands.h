#pragma once

#include "Command.h"

/// `brisant ledger FILE ...`: "Start Reading" and, with --send, "Send Message" of frmLed.
class LedgerCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("ledger"); }
    QString summary() const override
    {
        return QStringLiteral(
            "read a ledger workbook, print the balance messages, and queue them with --send");
    }
    void configure(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, CommandContext& context) override;
};

/// `brisant template FILE ...`: frm_ExcelSMS_Formula without a window.
class TemplateCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("template"); }
    QString summary() const override
    {
        return QStringLiteral(
            "fill a template from each row of a sheet, print the messages, and queue them with --send");
    }
    void configure(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, CommandContext& context) override;
};

/// `brisant stock FILE ...`: frm_Stock without a window.
class StockCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("stock"); }
    QString summary() const override
    {
        return QStringLiteral(
            "read a stock statement, print the holdings messages, and queue them with --send");
    }
    void configure(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, CommandContext& context) override;
};
