#include "WorkbookSource.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <signal.h>
#include <unistd.h>

namespace {

/// LibreOffice starting for the first time in a fresh profile takes some seconds; a hung one must
/// not hold the reading for ever.
constexpr int ConversionTimeLimitMs = 120'000;

QString SofficeProgram()
{
    if (!qEnvironmentVariableIsSet("KELVRA_SOFFICE"))
        return QStandardPaths::findExecutable(QStringLiteral("soffice"));
    const QString program = qEnvironmentVariable("KELVRA_SOFFICE");
    if (program.isEmpty())
        return {};
    if (QFileInfo(program).isAbsolute())
        return QFileInfo(program).isExecutable() ? program : QString();
    return QStandardPaths::findExecutable(program);
}

/// A copy of a workbook converted to ".xlsx", read from a private temporary folder that lives as
/// long as the source.
class ConvertedWorkbook final : public WorkbookSource
{
public:
    ConvertedWorkbook(std::unique_ptr<QTemporaryDir> folder, std::unique_ptr<WorkbookSource> copy)
        : m_folder(std::move(folder))
        , m_copy(std::move(copy))
    {
    }

    QStringList sheetNames() const override { return m_copy->sheetNames(); }
    Worksheet sheet(int index) const override { return m_copy->sheet(index); }

private:
    // Declared first so that it goes last, after the reader has let go of the copy.
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<WorkbookSource> m_copy;
};

} // namespace

bool CanConvertWorkbooks()
{
    return !SofficeProgram().isEmpty();
}

std::unique_ptr<WorkbookSource> OpenConvertedWorkbook(const QString& path)
{
    const QString program = SofficeProgram();
    if (program.isEmpty())
        return nullptr;
    auto folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid())
        return nullptr;
    const QString outDir = folder->filePath(QStringLiteral("out"));

    // A profile of its own lets the conversion run beside a LibreOffice the user has open.
    QProcess soffice;
    soffice.setProgram(program);
    soffice.setArguments({
        QStringLiteral("--headless"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nolockcheck"),
        QStringLiteral("-env:UserInstallation=") +
            QUrl::fromLocalFile(folder->filePath(QStringLiteral("profile"))).toString(QUrl::FullyEncoded),
        QStringLiteral("--convert-to"),
        QStringLiteral("xlsx"),
        QStringLiteral("--outdir"),
        outDir,
        QFileInfo(path).absoluteFilePath(),
    });
    soffice.setStandardOutputFile(QProcess::nullDevice());
    soffice.setStandardErrorFile(QProcess::nullDevice());
    // soffice is a launcher that leaves the office process as its child: both go in a group of their
    // own, so that a conversion past its time is ended whole.
    soffice.setChildProcessModifier([] { ::setpgid(0, 0); });
    soffice.start();
    if (!soffice.waitForStarted())
        return nullptr;
    if (!soffice.waitForFinished(ConversionTimeLimitMs)) {
        ::kill(-pid_t(soffice.processId()), SIGKILL);
        soffice.waitForFinished();
        return nullptr;
    }
    if (soffice.exitStatus() != QProcess::NormalExit || soffice.exitCode() != 0)
        return nullptr;

    // LibreOffice names the copy after the original; the folder holds nothing else.
    const QStringList copies = QDir(outDir).entryList({QStringLiteral("*.xlsx")}, QDir::Files);
    if (copies.size() != 1)
        return nullptr;
    try {
        auto copy = OpenXlsxWorkbook(QDir(outDir).filePath(copies.first()));
        return std::make_unique<ConvertedWorkbook>(std::move(folder), std::move(copy));
    } catch (const WorkbookError&) {
        return nullptr;
    }
}
