#include "ColumnPositionsDialog.h"
#include "OrionPositionsDialog.h"
#include "OrionPositionsRow.h"
#include "ScreenFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>

namespace {

const OrionPositionsRow::Values kDelivered = {0, 15, 15, 30, 45, 12, 57, 12, 69, 12, 81, 12};

} // namespace

/// The settings dialogs of the Orion cash screens, dlgorinbse and dlgorinnse: one design on two rows.
class TestOrionPositionsDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<ScreenFixture>(); }
    void cleanup();
    void showsTheStoredRow_data() { dialogs(); }
    void showsTheStoredRow();
    void applyTakesTheFieldMarkedInThePreview_data() { dialogs(); }
    void applyTakesTheFieldMarkedInThePreview();
    void refusesWhatIsNotAPosition_data();
    void refusesWhatIsNotAPosition();
    void unusableRowIsReported_data();
    void unusableRowIsReported();

private:
    static void dialogs()
    {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("dlgorinbse") << "B"
                                    << "dlgorinbse"
                                    << "Bse Configuration";
        QTest::newRow("dlgorinnse") << "N"
                                    << "dlgorinnse"
                                    << "Nse Configuration";
    }
    void open(const QString& exchange)
    {
        m_dialog.reset(static_cast<OrionPositionsDialog*>(
            MakeSettingsDialog(exchange == "B" ? QStringLiteral("dlgorinbse") : QStringLiteral("dlgorinnse"),
                               m_fixture->store(), m_fixture->prompter(), nullptr)));
        m_dialog->show();
    }
    QLineEdit* box(int k) { return Control<QLineEdit>(m_dialog.get(), QStringLiteral("txtcol_%1").arg(k)); }
    OrionPositionsRow::Values stored(const QString& exchange)
    {
        const OrionPositionsRow::Texts texts = OrionPositionsRow(m_fixture->store()).read(exchange).value();
        OrionPositionsRow::Values values;
        for (int k = 0; k < OrionPositionsRow::kCount; ++k)
            values[size_t(k)] = texts[size_t(k)].toInt();
        return values;
    }
    QList<PromptMessage>& messages() { return m_fixture->messages(); }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<OrionPositionsDialog> m_dialog;
};

void TestOrionPositionsDialogs::cleanup()
{
    m_dialog.reset();
    m_fixture.reset();
}

void TestOrionPositionsDialogs::showsTheStoredRow()
{
    QFETCH(QString, exchange);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    open(exchange);

    QCOMPARE(m_dialog->objectName(), name);
    QCOMPARE(m_dialog->windowTitle(), caption);
    const QStringList labels = {
        "Client :", "Instrument :", "Buy Qty :", "Buy Rate :", "Sale Qty :", "Sale Rate :"};
    for (int pair = 0; pair < 6; ++pair) {
        QCOMPARE(Control<QLabel>(m_dialog.get(), QStringLiteral("Label1_%1").arg(pair))->text(),
                 labels[pair]);
        QPushButton* apply = Control<QPushButton>(m_dialog.get(), QStringLiteral("cmdStore_%1").arg(pair));
        QCOMPARE(apply->text(), QStringLiteral("&Apply"));
        QCOMPARE(apply->toolTip().isEmpty(), pair != 0);
        // Start and length side by side on the row of their pair.
        QCOMPARE(box(2 * pair)->geometry().top(), box(2 * pair + 1)->geometry().top());
        QVERIFY(box(2 * pair)->geometry().left() < box(2 * pair + 1)->geometry().left());
        if (pair > 0)
            QVERIFY(box(2 * pair)->geometry().top() > box(2 * pair - 2)->geometry().top());
    }
    for (int k = 0; k < OrionPositionsRow::kCount; ++k)
        QCOMPARE(box(k)->text(), QString::number(kDelivered[size_t(k)]));
    QCOMPARE(Control<QPushButton>(m_dialog.get(), "cmdStore_0")->toolTip(),
             QStringLiteral("After Selecting the Column and width in Botton Panel Click on apply "));
    QCOMPARE(Control<QPushButton>(m_dialog.get(), "OKButton")->text(), QStringLiteral("Apply Changes"));
    QCOMPARE(Control<QPushButton>(m_dialog.get(), "CancelButton")->text(), QStringLiteral("&Close"));
    QCOMPARE(Control<QPushButton>(m_dialog.get(), "cmdFileBrow")->text(), QStringLiteral("..."));
    QVERIFY(Control<QLabel>(m_dialog.get(), "Label4")
                ->text()
                .startsWith("Pls. Enter Columns Start and Column Length."));
    QVERIFY(messages().isEmpty());
}

void TestOrionPositionsDialogs::applyTakesTheFieldMarkedInThePreview()
{
    QFETCH(QString, exchange);
    open(exchange);
    const QString sample =
        m_fixture->writeFile(QStringLiteral("sample.txt"), "AB100   RELIANCE  2450.25\r\nnext\n");

    m_fixture->prompter().fileNameNext(sample);
    ClickControl(m_dialog.get(), "cmdFileBrow");
    QCOMPARE(Control<QLineEdit>(m_dialog.get(), "txtfile")->text(), sample);
    auto* preview = Control<QPlainTextEdit>(m_dialog.get(), "txtfileprev");
    QCOMPARE(preview->toPlainText(), QStringLiteral("AB100   RELIANCE  2450.25"));

    // Nothing marked yet: the boxes stay as they are.
    ClickControl(m_dialog.get(), "cmdStore_2");
    QCOMPARE(messages().size(), 1);
    QCOMPARE(box(4)->text(), QStringLiteral("45"));

    // Characters 10 to 14, counted from 1, marked from right to left.
    QTextCursor cursor = preview->textCursor();
    cursor.setPosition(14);
    cursor.setPosition(9, QTextCursor::KeepAnchor);
    preview->setTextCursor(cursor);
    ClickControl(m_dialog.get(), "cmdStore_2");
    QCOMPARE(box(4)->text(), QStringLiteral("9"));
    QCOMPARE(box(5)->text(), QStringLiteral("5"));
    QCOMPARE(stored(exchange), kDelivered);

    // A cancelled file dialog keeps the file and its preview.
    ClickControl(m_dialog.get(), "cmdFileBrow");
    QCOMPARE(Control<QLineEdit>(m_dialog.get(), "txtfile")->text(), sample);
    QCOMPARE(preview->toPlainText(), QStringLiteral("AB100   RELIANCE  2450.25"));

    ClickControl(m_dialog.get(), "OKButton");
    QVERIFY(m_dialog->isVisible());
    OrionPositionsRow::Values expected = kDelivered;
    expected[4] = 9;
    expected[5] = 5;
    QCOMPARE(stored(exchange), expected);
    QCOMPARE(stored(exchange == "B" ? "N" : "B"), kDelivered);
    QCOMPARE(messages().size(), 1);

    // A line as wide as the Orion files write them is seen whole, without scrolling.
    const QByteArray wide = QByteArray("DR177").leftJustified(15) +
                            QByteArray("BAJAFINANCE").leftJustified(30) + QByteArray("10").leftJustified(12) +
                            QByteArray("7221.20").leftJustified(12) + QByteArray("250").leftJustified(12) +
                            QByteArray("7199.86").rightJustified(13);
    QCOMPARE(wide.size(), 94);
    m_fixture->prompter().fileNameNext(m_fixture->writeFile(QStringLiteral("wide.txt"), wide + '\n'));
    ClickControl(m_dialog.get(), "cmdFileBrow");
    QCOMPARE(preview->toPlainText(), QString::fromLatin1(wide));
    QTRY_COMPARE(preview->horizontalScrollBar()->maximum(), 0);
}

void TestOrionPositionsDialogs::refusesWhatIsNotAPosition_data()
{
    QTest::addColumn<QString>("exchange");
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("named");
    QTest::newRow("empty") << "B" << 0 << ""
                           << "Client column start";
    QTest::newRow("word") << "N" << 3 << "thirty"
                          << "Instrument column length";
    QTest::newRow("negative") << "B" << 6 << "-1"
                              << "Buy Rate column start";
    QTest::newRow("fraction") << "N" << 9 << "12.5"
                              << "Sale Qty column length";
    QTest::newRow("beyond 16 bits") << "B" << 11 << "32768"
                                    << "Sale Rate column length";
}

void TestOrionPositionsDialogs::refusesWhatIsNotAPosition()
{
    QFETCH(QString, exchange);
    QFETCH(int, k);
    QFETCH(QString, typed);
    QFETCH(QString, named);
    open(exchange);

    box(0)->setText(QStringLiteral("3")); // a valid change before the wrong one is not stored either
    box(k)->setText(typed);
    ClickControl(m_dialog.get(), "OKButton");

    QCOMPARE(messages().size(), 1);
    const PromptMessage& message = messages().first();
    QVERIFY2(message.text.contains(u'"' + named + u'"'), qPrintable(message.text));
    QCOMPARE(message.title, m_dialog->windowTitle());
    QCOMPARE(message.icon, PromptMessage::Icon::Warning);
    QCOMPARE(stored(exchange), kDelivered);
    QCOMPARE(box(k)->text(), typed);

    // Closing throws the edits away.
    ClickControl(m_dialog.get(), "CancelButton");
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
    QCOMPARE(stored(exchange), kDelivered);
}

void TestOrionPositionsDialogs::unusableRowIsReported_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("named");
    QTest::addColumn<QString>("shown");
    QTest::newRow("row missing") << "DELETE FROM bnfOrion WHERE Exchange = 'N'"
                                 << "row \"N\""
                                 << "";
    QTest::newRow("negative") << "UPDATE bnfOrion SET buyqtylen = -7 WHERE Exchange = 'N'"
                              << "\"Buy Qty column length\" holds \"-7\""
                              << "-7";
}

void TestOrionPositionsDialogs::unusableRowIsReported()
{
    QFETCH(QString, statement);
    QFETCH(QString, named);
    QFETCH(QString, shown);
    m_fixture->store().exec(statement);
    open(QStringLiteral("N"));

    QCOMPARE(messages().size(), 1);
    QVERIFY2(messages().first().text.contains(named), qPrintable(messages().first().text));
    QCOMPARE(box(5)->text(), shown);

    for (int k = 0; k < OrionPositionsRow::kCount; ++k)
        box(k)->setText(QString::number(k));
    ClickControl(m_dialog.get(), "OKButton");
    const bool missing = shown.isEmpty();
    // A missing row is reported again and not created; a row mended is stored and shown without a word.
    QCOMPARE(messages().size(), missing ? 2 : 1);
    const std::optional<OrionPositionsRow::Texts> row = OrionPositionsRow(m_fixture->store()).read("N");
    QCOMPARE(row.has_value(), !missing);
    if (!missing)
        QCOMPARE(stored("N"), OrionPositionsRow::Values({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

QTEST_MAIN(TestOrionPositionsDialogs)
#include "tst_orionpositionsdialogs.moc"
