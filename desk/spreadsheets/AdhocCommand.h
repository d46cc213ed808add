#pragma once

#include "Command.h"

/// `brisant adhoc`: frmAdvancedSMS without a window; the numbers come from a file or standard input.
class AdhocCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("adhoc"); }
    QString summary() const override
    {
        return QStringLiteral(
            "print one message to every mobile number read, one a line, and queue them with --send");
    }
    void configure(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, CommandContext& context) override;
};
