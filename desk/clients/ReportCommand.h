#pragma once

#include "Command.h"

/// `brisant report clients|sent|counter`: a report grid on standard output, and its exports when asked.
class ReportCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("report"); }
    QString summary() const override
    {
        return QStringLiteral("print the client list, the sent list or the count sent per day");
    }
    void configure(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, CommandContext& context) override;
};
