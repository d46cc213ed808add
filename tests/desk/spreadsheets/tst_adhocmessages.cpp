#include "AdhocMessages.h"
#include "MessageMasterTable.h"
#include "ProgramRun.h"
#include "ScreenCatalog.h"
#include "ScreenFixture.h"
#include "SpreadsheetScreens.h"
#include "TextGrid.h"
#include "dlgSearch.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTableWidget>

namespace {

const QString kFive = QStringLiteral("9876543210\n9876500001\n9876500002\n9876500003\n9876500004");
// A text the SMS code page carries only in part, and what the desk says of it for two numbers.
const QString kRupeesAndEmoji = QStringLiteral("Paid \u20B9500 \U0001F600");
const QString kRupeesAndEmojiWarning =
    QStringLiteral("2 texts hold characters the SMS cannot carry as they are:\n"
                   "row 1 (9876543210): \u20B9 sent as \"Rs.\"; \U0001F600 lost, sent as \"?\"\n"
                   "row 2 (9876500001): \u20B9 sent as \"Rs.\"; \U0001F600 lost, sent as \"?\"");

} // namespace

/// The ad-hoc messages: the number and length rules, frmAdvancedSMS through its controls, and
/// `brisant adhoc` as the real executable.
class TestAdhocMessages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void acceptNumbers_data();
    void acceptNumbers();
    void charactersLeft_data();
    void charactersLeft();
    void fullBoxRefusesTypedCharacters();
    void storedMessageByF1();
    void sendNow_data();
    void sendNow();
    void command_data();
    void command();

private:
    QPlainTextEdit* box(const char* name)
    {
        return Control<QPlainTextEdit>(m_screen.get(), QLatin1String(name));
    }
    QString left() { return Control<QLabel>(m_screen.get(), QStringLiteral("lblmsglen"))->text(); }
    /// AppID, BatchNo, MobileNo, Message, UserName of every queued row, oldest first.
    QList<QStringList> queued()
    {
        QSqlQuery query = m_fixture->store().exec(QStringLiteral(
            "SELECT AppID, BatchNo, MobileNo, Message, UserName FROM MessageQueue ORDER BY nid"));
        QList<QStringList> rows;
        while (query.next())
            rows << QStringList{query.value(0).toString(), query.value(1).toString(),
                                query.value(2).toString(), query.value(3).toString(),
                                query.value(4).toString()};
        return rows;
    }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<QWidget> m_screen;
};

void TestAdhocMessages::init()
{
    m_fixture = std::make_unique<ScreenFixture>();
    // Opened as the main window's "Advance SMS" entry does.
    ScreenCatalog catalog;
    addSpreadsheetScreens(catalog, m_fixture->session(), m_fixture->prompter());
    m_screen.reset(catalog.create(QStringLiteral("frmAdvancedSMS")));
    QVERIFY(m_screen);
    m_screen->show();
}

void TestAdhocMessages::cleanup()
{
    m_screen.reset();
    m_fixture.reset();
}

void TestAdhocMessages::acceptNumbers_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QStringList>("numbers");
    const QString number = QStringLiteral("9876543210");
    QTest::newRow("ten digits, with 91, nine digits")
        << "9876543210\n919876543210\n987654321" << QStringList{number, number};
    QTest::newRow("Windows line ends, a leading zero") << "9876543210\r\n09876500001\r\n\r\n"
                                                       << QStringList{number, "9876500001"};
    QTest::newRow("blanks and tabs at the ends") << " \t9876543210\t \n" << QStringList{number};
    QTest::newRow("a blank inside the last ten") << "+91 98765 43210" << QStringList();
    QTest::newRow("a sign or a point inside the last ten")
        << "+987654321\n98765.4321\n-987654321" << QStringList();
    QTest::newRow("a sign before the last ten") << "-9876543210" << QStringList{number};
    QTest::newRow("digits that are not ASCII")
        << QStringLiteral("\u0669\u0668\u0667\u0666\u0665\u0664\u0663\u0662\u0661\u0660") << QStringList();
}

void TestAdhocMessages::acceptNumbers()
{
    QFETCH(QString, pasted);
    QFETCH(QStringList, numbers);
    box("txtmobnos")->setPlainText(pasted);
    auto* grid = Control<TextGrid>(m_screen.get(), QStringLiteral("vsnos"));
    QCOMPARE(grid->headerText(0), QStringLiteral("Mobile Numbers"));
    QStringList shown;
    for (int row = 0; row < grid->rowCount(); ++row)
        shown << grid->text(row, 0);
    QCOMPARE(shown, numbers);
}

void TestAdhocMessages::charactersLeft_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("kept");
    const QString full(159, u'a');
    QTest::newRow("empty") << QString() << "159" << QString();
    QTest::newRow("159 characters") << full << "0" << full;
    // A tilde counts 2: with one, the box holds 158 characters.
    QTest::newRow("157 and a tilde") << QString(157, u'a') + u'~' << "0" << QString(157, u'a') + u'~';
    QTest::newRow("158 and a tilde") << QString(158, u'a') + u'~' << "1" << QString(158, u'a');
    QTest::newRow("a 160th character is cut") << full + u'b' << "0" << full;
}

void TestAdhocMessages::charactersLeft()
{
    QFETCH(QString, message);
    QFETCH(QString, left);
    QFETCH(QString, kept);
    box("txtmessage")->setPlainText(message);
    QCOMPARE(this->left(), left);
    QCOMPARE(box("txtmessage")->toPlainText(), kept);
}

void TestAdhocMessages::fullBoxRefusesTypedCharacters()
{
    QPlainTextEdit* message = box("txtmessage");
    const QString full(159, u'a');
    message->setPlainText(full);
    // Typed at the start, where the cut at the end cannot hide a character let through.
    message->moveCursor(QTextCursor::Start);
    QTest::keyClick(message, Qt::Key_B);
    QTest::keyClick(message, Qt::Key_Return);
    QCOMPARE(message->toPlainText(), full);
    // The full stop passes the key rule; the count then cuts the last character.
    QTest::keyClick(message, Qt::Key_Period);
    QCOMPARE(message->toPlainText(), u'.' + QString(158, u'a'));
    QCOMPARE(left(), QStringLiteral("0"));
    message->moveCursor(QTextCursor::End);
    QTest::keyClick(message, Qt::Key_Backspace);
    QCOMPARE(left(), QStringLiteral("1"));
    QTest::keyClick(message, Qt::Key_B);
    QCOMPARE(message->toPlainText(), u'.' + QString(157, u'a') + u'b');
}

void TestAdhocMessages::storedMessageByF1()
{
    const MessageMasterTable stored(m_fixture->store());
    stored.insert(QStringLiteral("Markets closed on Friday"));
    stored.insert(QStringLiteral("Pay-in due ~ today"));
    QTest::keyClick(box("txtmessage"), Qt::Key_F1, Qt::ShiftModifier);
    QVERIFY(!m_screen->findChild<dlgSearch*>());

    QTest::keyClick(box("txtmessage"), Qt::Key_F1);
    auto* dialog = m_screen->findChild<dlgSearch*>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    auto* grid = Control<QTableWidget>(dialog, QStringLiteral("vssearchgrid"));
    QCOMPARE(grid->rowCount(), 2);
    grid->selectRow(1);
    ClickControl(dialog, QStringLiteral("OKButton"));
    QCOMPARE(box("txtmessage")->toPlainText(), QStringLiteral("Pay-in due ~ today"));
    QCOMPARE(left(), QStringLiteral("140"));
}

void TestAdhocMessages::sendNow_data()
{
    QTest::addColumn<QString>("numbers");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("queuedPerPress");
    QTest::addColumn<QString>("warning");
    QTest::newRow("blank message") << kFive << "  "
                                   << "Pls. Enter Message"
                                   << "Brisant." << 0 << QString();
    QTest::newRow("no numbers") << "12345\nabc"
                                << "Hello"
                                << "Pls. Enter Mobile nos."
                                << "Brisant." << 0 << QString();
    QTest::newRow("five numbers") << kFive << "Holiday on 'Friday' ~ office open"
                                  << "Message Placed in Queue"
                                  << "Advanced Messaging" << 5 << QString();
    QTest::newRow("characters the SMS cannot carry")
        << "9876543210\n9876500001" << kRupeesAndEmoji << "Message Placed in Queue"
        << "Advanced Messaging" << 2 << kRupeesAndEmojiWarning;
}

void TestAdhocMessages::sendNow()
{
    QFETCH(QString, numbers);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QFETCH(QString, title);
    QFETCH(int, queuedPerPress);
    QFETCH(QString, warning);
    qsizetype queuedAtWarning = -1;
    m_fixture->prompter().onMessage = [this, &queuedAtWarning](const PromptMessage& shown) {
        if (shown.icon == PromptMessage::Icon::Warning)
            queuedAtWarning = queued().size();
    };
    const auto forget = qScopeGuard([this] { m_fixture->prompter().onMessage = {}; });
    box("txtmobnos")->setPlainText(numbers);
    box("txtmessage")->setPlainText(message);
    QCOMPARE(Control<QPushButton>(m_screen.get(), QStringLiteral("cmdSendNow"))->text(),
             QStringLiteral("&Send Now"));

    QStringList mobiles;
    for (int press = 1; press <= 2; ++press) {
        ClickControl(m_screen.get(), QStringLiteral("cmdSendNow"));
        if (!warning.isEmpty()) {
            // One warning box, shown before the press queues anything; the texts are queued after it.
            QCOMPARE(m_fixture->messages().size(), 2);
            const PromptMessage box = m_fixture->messages().takeFirst();
            QCOMPARE(box.text, warning);
            QCOMPARE(box.title, title);
            QCOMPARE(box.icon, PromptMessage::Icon::Warning);
            QCOMPARE(box.buttons, PromptMessage::Buttons::Ok);
            QCOMPARE(queuedAtWarning, queuedPerPress * (press - 1));
        }
        QCOMPARE(m_fixture->messages().size(), 1);
        const PromptMessage box = m_fixture->messages().takeFirst();
        QCOMPARE(box.text, shown);
        QCOMPARE(box.title, title);
        QCOMPARE(box.icon, PromptMessage::Icon::Information);
        const QList<QStringList> rows = queued();
        QCOMPARE(rows.size(), queuedPerPress * press);
        if (queuedPerPress == 0) {
            QCOMPARE(m_fixture->session().CurrentBatchNo(), 0);
            return;
        }
        // One batch a press, the numbers in order, the text as typed but for its single quotes.
        const QString batch = QString::number(m_fixture->session().CurrentBatchNo());
        mobiles.clear();
        for (const QStringList& row : rows.mid(queuedPerPress * (press - 1))) {
            QCOMPARE(row.at(0), QStringLiteral("Advanced"));
            QCOMPARE(row.at(1), batch);
            QCOMPARE(row.at(3), QString(message).remove(u'\''));
            QCOMPARE(row.at(4), QStringLiteral("admin"));
            mobiles << row.at(2);
        }
        QCOMPARE(mobiles, numbers.split(u'\n'));
    }
    QVERIFY(queued().first().at(1) != queued().last().at(1));
}

void TestAdhocMessages::command_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("numbers");
    QTest::addColumn<bool>("fromFile");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QStringList>("err");
    QTest::addColumn<int>("exitCode");
    const QByteArray two = "9876543210\r\n919876500001\r\n+91 98765 00002\r\n";
    const QStringList twoRows{"9876543210\t%1", "9876500001\t%1"};
    QTest::newRow("numbers file") << QStringList{"--message", "Markets closed"} << two << true
                                  << QStringList{twoRows[0].arg("Markets closed"),
                                                 twoRows[1].arg("Markets closed")}
                                  << QStringList() << 0;
    QTest::newRow("standard input, a tab in the text")
        << QStringList{"--message", "Closed\tFriday"} << two << false
        << QStringList{twoRows[0].arg("Closed\\tFriday"), twoRows[1].arg("Closed\\tFriday")} << QStringList()
        << 0;
    const QString cut = QString(157, u'x') + u'~';
    QTest::newRow("cut to what the box takes")
        << QStringList{"--message", QString(157, u'x') + "~~"} << two << true
        << QStringList{twoRows[0].arg(cut), twoRows[1].arg(cut)}
        << QStringList{"the message is cut to 158 characters, as the message box takes no more"} << 0;
    QTest::newRow("send") << QStringList{"--message", "Markets closed", "--send", "--user", "ADMIN"} << two
                          << true
                          << QStringList{twoRows[0].arg("Markets closed"), twoRows[1].arg("Markets closed")}
                          << QStringList{"Message Placed in Queue"} << 0;
    // The warning before queueing; the confirmation stays the last line, the stored text as typed.
    QTest::newRow("send, characters the SMS cannot carry")
        << QStringList{"--message", kRupeesAndEmoji, "--send"} << two << true
        << QStringList{twoRows[0].arg(kRupeesAndEmoji), twoRows[1].arg(kRupeesAndEmoji)}
        << kRupeesAndEmojiWarning.split(u'\n') + QStringList{"Message Placed in Queue"} << 0;
    QTest::newRow("no numbers") << QStringList{"--message", "Markets closed", "--send"}
                                << QByteArray("98765\n") << false << QStringList()
                                << QStringList{"Pls. Enter Mobile nos."} << 1;
    QTest::newRow("blank message") << QStringList{"--message", " ", "--send"} << two << true << QStringList()
                                   << QStringList{"Pls. Enter Message"} << 1;
}

void TestAdhocMessages::command()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, numbers);
    QFETCH(bool, fromFile);
    QFETCH(QStringList, out);
    QFETCH(QStringList, err);
    QFETCH(int, exitCode);
    arguments.prepend(QStringLiteral("adhoc"));
    if (fromFile)
        arguments << m_fixture->writeFile(QStringLiteral("numbers.txt"), numbers);
    const ProgramRun run =
        RunProgram(QStringLiteral(BRISANT_EXE), arguments, m_fixture->env().processEnvironment(),
                   fromFile ? QByteArray() : numbers);
    QTEST(run.errLines(), "err");
    QTEST(run.outLines(), "out");
    QCOMPARE(run.exitCode, exitCode);

    const QList<QStringList> rows = queued();
    if (!arguments.contains(QStringLiteral("--send")) || exitCode != 0) {
        QVERIFY(rows.isEmpty());
        return;
    }
    const qsizetype user = arguments.indexOf(QStringLiteral("--user"));
    QCOMPARE(rows.size(), 2);
    for (const QStringList& row : rows) {
        QCOMPARE(row.at(0), QStringLiteral("Advanced"));
        QCOMPARE(row.at(1), rows.first().at(1));
        QCOMPARE(row.at(3), arguments.at(arguments.indexOf(QStringLiteral("--message")) + 1));
        QCOMPARE(row.at(4), user < 0 ? QStringLiteral("admin") : arguments.at(user + 1));
    }
}

QTEST_MAIN(TestAdhocMessages)

#include "tst_adhocmessages.moc"
