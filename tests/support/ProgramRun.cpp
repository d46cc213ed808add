#include "ProgramRun.h"

#include <QProcess>
#include <QThread>

#include <memory>
#include <vector>

ProgramRun RunProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment, const QByteArray& input, int timeoutMs)
{
    QProcessEnvironment headless = environment;
    headless.remove(QStringLiteral("DISPLAY"));
    headless.remove(QStringLiteral("WAYLAND_DISPLAY"));
    headless.remove(QStringLiteral("QT_QPA_PLATFORM"));

    QProcess process;
    process.setProcessEnvironment(headless);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForStarted(timeoutMs)) {
        run.err = process.errorString();
        return run;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    if (run.finished && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QList<ProgramRun> RunTogether(const QList<std::function<ProgramRun()>>& calls)
{
    std::vector<ProgramRun> runs(size_t(calls.size()));
    // QThread rather than std::thread: a QProcess wants a thread that Qt started.
    std::vector<std::unique_ptr<QThread>> threads;
    for (size_t i = 0; i < runs.size(); ++i) {
        threads.emplace_back(QThread::create([&runs, &calls, i] { runs[i] = calls[qsizetype(i)](); }));
        threads.back()->start();
    }
    for (const auto& thread : threads)
        thread->wait();
    return QList<ProgramRun>(runs.begin(), runs.end());
}
