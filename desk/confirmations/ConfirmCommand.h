#pragma once

#include "Command.h"

/// `brisant confirm KIND ... FILE...`: "Read File(s)", "Generate Message" and, with --send, "Send
/// Message" of a trade screen, without any window.
class ConfirmCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("confirm"); }
    QString summary() const override
    {
        return QStringLiteral("read trade files, print the messages, and queue them with --send");
    }
    void configure(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, CommandContext& context) override;
};
