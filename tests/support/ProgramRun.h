#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

/// What a program run by a test did: its exit code (-1 when it crashed or did not finish) and all it
/// wrote.
struct ProgramRun
{
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;

    QStringList outLines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
    QStringList errLines() const { return err.split(u'\n', Qt::SkipEmptyParts); }
};

/// Runs a program to its end with the given environment, without any display (the command lines must
/// not need one), feeding it input on standard input; gives up after timeoutMs and kills it.
ProgramRun RunProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment, const QByteArray& input = {},
                      int timeoutMs = 60000);

/// Runs several programs at the same moment, each on a thread of its own (each call usually a
/// RunProgram), and hands back their runs in the order of the calls.
QList<ProgramRun> RunTogether(const QList<std::function<ProgramRun()>>& calls);
