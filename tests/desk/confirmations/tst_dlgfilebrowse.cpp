#include "Controls.h"
#include "ScriptedPrompter.h"
#include "TestEnvironment.h"
#include "dlgFileBrowse.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QTest>

namespace {

/// Stands in for a reading screen and keeps every hand-over.
class RecordingTarget : public FileTarget
{
public:
    void GetFiles(const QStringList& files) override { handed << files; }
    QList<QStringList> handed;
};

} // namespace

/// The file-browse dialog: drives, folders and files, the picked list and handing it over.
class TestDlgFileBrowse : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void drivesAreTheMountedRoots();
    void pickedFilesAreHandedOverOnEveryOk();
    void foldersLeadDownAndBackUp();
    void closeHidesTheDialog();

private:
    template <typename T>
    T* child(const char* name)
    {
        return Control<T>(m_dialog.get(), QLatin1String(name));
    }
    QListWidget* list(const char* name) { return child<QListWidget>(name); }
    static QStringList texts(QListWidget* list)
    {
        QStringList result;
        for (int row = 0; row < list->count(); ++row)
            result << list->item(row)->text().trimmed();
        return result;
    }
    static void doubleClick(QListWidget* list, const QString& text)
    {
        const auto found = list->findItems(text, Qt::MatchEndsWith);
        QVERIFY2(!found.isEmpty(), qPrintable(text));
        DoubleClickItem(list, found.first());
    }

    std::unique_ptr<TestEnvironment> m_env;
    QString m_root;
    RecordingTarget m_target;
    ScriptedPrompter m_prompter;
    std::unique_ptr<dlgFileBrowse> m_dialog;
};

void TestDlgFileBrowse::init()
{
    m_env = std::make_unique<TestEnvironment>();
    m_root = m_env->path(QStringLiteral("trades"));
    QVERIFY(QDir().mkpath(m_root + "/day1"));
    QVERIFY(QDir().mkpath(m_root + "/day2"));
    for (const char* file : {"trades/day1/bse.txt", "trades/day1/Nse.csv", "trades/top.txt"})
        m_env->writeFile(QLatin1String(file), {});
    m_target.handed.clear();
    m_prompter.messages.clear();
    m_dialog = std::make_unique<dlgFileBrowse>(m_prompter, nullptr);
    m_dialog->SetParent(&m_target);
    m_dialog->setCurrentFolder(m_root);
    m_dialog->show();
}

void TestDlgFileBrowse::cleanup()
{
    m_dialog.reset();
    m_env.reset();
}

void TestDlgFileBrowse::drivesAreTheMountedRoots()
{
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("File Browser"));
    auto* drives = child<QComboBox>("Drive1");
    QCOMPARE(drives->itemText(0), QDir::rootPath());
    QCOMPARE(drives->currentText(), QStorageInfo(m_root).rootPath());
    for (int i = 0; i < drives->count(); ++i)
        QVERIFY2(QFileInfo(drives->itemText(i)).isDir(), qPrintable(drives->itemText(i)));

    drives->setCurrentIndex(drives->currentIndex() == 0 ? drives->count() - 1 : 0);
    QCOMPARE(m_dialog->currentFolder(), QDir(drives->currentText()).absolutePath());
    QCOMPARE(texts(list("Dir1")).first(), QDir::rootPath());
}

void TestDlgFileBrowse::pickedFilesAreHandedOverOnEveryOk()
{
    QCOMPARE(texts(list("File1")), QStringList{"top.txt"});
    doubleClick(list("Dir1"), "day1");
    QTRY_COMPARE(m_dialog->currentFolder(), m_root + "/day1");
    QCOMPARE(texts(list("File1")), (QStringList{"bse.txt", "Nse.csv"}));

    doubleClick(list("File1"), "bse.txt");
    doubleClick(list("File1"), "Nse.csv");
    QVERIFY(m_prompter.messages.isEmpty());
    doubleClick(list("File1"), "bse.txt");
    const QString bse = m_root + "/day1/bse.txt";
    const QString nse = m_root + "/day1/Nse.csv";
    QCOMPARE(texts(list("List1")), (QStringList{bse, nse}));
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(m_prompter.messages[0].text, "File already in the List : " + bse);
    QCOMPARE(m_prompter.messages[0].title, QStringLiteral("File Browser"));

    // A file taken off the list may be picked again.
    DoubleClickItem(list("List1"), list("List1")->item(0));
    QCOMPARE(texts(list("List1")), (QStringList{nse}));
    doubleClick(list("File1"), "bse.txt");
    QCOMPARE(texts(list("List1")), (QStringList{nse, bse}));
    QCOMPARE(m_prompter.messages.size(), 1);

    ClickControl(m_dialog.get(), "OKButton");
    ClickControl(m_dialog.get(), "OKButton");
    QCOMPARE(m_target.handed, (QList<QStringList>{{nse, bse}, {nse, bse}}));
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(texts(list("List1")), (QStringList{nse, bse}));

    // The next dialog opens where the files were picked, whatever folder was shown last.
    doubleClick(list("Dir1"), "trades");
    QTRY_COMPARE(m_dialog->currentFolder(), m_root);
    const dlgFileBrowse next(m_prompter, nullptr);
    QCOMPARE(next.currentFolder(), m_root + "/day1");
}

void TestDlgFileBrowse::foldersLeadDownAndBackUp()
{
    doubleClick(list("Dir1"), "day2");
    QTRY_COMPARE(m_dialog->currentFolder(), m_root + "/day2");
    QVERIFY(texts(list("File1")).isEmpty());
    QCOMPARE(list("Dir1")->currentItem()->text().trimmed(), QStringLiteral("day2"));

    doubleClick(list("Dir1"), "trades");
    QTRY_COMPARE(m_dialog->currentFolder(), m_root);
    QCOMPARE(texts(list("File1")), QStringList{"top.txt"});
    const QStringList folders = texts(list("Dir1"));
    QCOMPARE(folders.first(), QDir::rootPath());
    QCOMPARE(folders.mid(folders.size() - 3), (QStringList{"trades", "day1", "day2"}));

    doubleClick(list("File1"), "top.txt");
    QCOMPARE(texts(list("List1")), QStringList{m_root + "/top.txt"});
}

void TestDlgFileBrowse::closeHidesTheDialog()
{
    auto* close = child<QPushButton>("CancelButton");
    QCOMPARE(close->text(), QStringLiteral("Close"));
    QCOMPARE(child<QPushButton>("OKButton")->text(), QStringLiteral("OK"));
    ClickControl(m_dialog.get(), "CancelButton");
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(m_target.handed.isEmpty());
}

QTEST_MAIN(TestDlgFileBrowse)
#include "tst_dlgfilebrowse.moc"
