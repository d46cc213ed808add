#include "ColumnPositions.h"
#include "ColumnPositionsDialog.h"
#include "ScreenFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

/// The five column-position dialogs: one design, each on its own row and number of boxes.
class TestColumnPositionsDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void showsTheStoredRow_data() { dialogs(); }
    void showsTheStoredRow();
    void okStoresOnlyItsPositionsAndStaysOpen_data() { dialogs(); }
    void okStoresOnlyItsPositionsAndStaysOpen();
    void editedDialogClosesOnTheSecondPress_data();
    void editedDialogClosesOnTheSecondPress();
    void refusesWhatIsNotAColumnNumber_data();
    void refusesWhatIsNotAColumnNumber();
    void missingRowIsReported_data() { dialogs(); }
    void missingRowIsReported();

private:
    static void dialogs()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("cd");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("heading");
        QTest::newRow("dlgbseconfig") << "dlgbseconfig"
                                      << "Bse Configuration"
                                      << "B" << 5 << "Column Nos.";
        QTest::newRow("dlgnseconfig") << "dlgnseconfig"
                                      << "Nse Configuration"
                                      << "N" << 5 << "Column Nos.";
        QTest::newRow("dlgfutconfig") << "dlgfutconfig"
                                      << "Future Trade Configuration"
                                      << "F" << 8 << "Column No.";
        QTest::newRow("dlgMCXConfig") << "dlgMCXConfig"
                                      << "Commodity Configuration"
                                      << "C" << 6 << "Column No.";
        QTest::newRow("dlgncdexconfig") << "dlgncdexconfig"
                                        << "NCDEX Configuration"
                                        << "D" << 6 << "Column No.";
    }
    void open(const QString& name)
    {
        Store& store = m_fixture->store();
        ScriptedPrompter& prompter = m_fixture->prompter();
        m_dialog.reset(
            static_cast<ColumnPositionsDialog*>(MakeSettingsDialog(name, store, prompter, nullptr)));
        m_dialog->show();
    }
    template <typename T>
    T* child(const QString& name)
    {
        return Control<T>(m_dialog.get(), name);
    }
    QLineEdit* box(int k) { return child<QLineEdit>(QStringLiteral("txtcolno_%1").arg(k)); }
    QPushButton* cancelButton() { return child<QPushButton>("CancelButton"); }
    void click(const char* name) { ClickControl(m_dialog.get(), QLatin1String(name)); }
    ColumnPositions positions() const { return ColumnPositions(m_fixture->store()); }
    ColumnPositions::Row stored(const QString& cd) const { return positions().read(cd).value(); }
    static ColumnPositions::Row row(std::initializer_list<int> values)
    {
        ColumnPositions::Row result;
        int k = 0;
        for (int value : values)
            result[size_t(k++)] = value;
        return result;
    }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<ColumnPositionsDialog> m_dialog;
};

void TestColumnPositionsDialogs::init()
{
    m_fixture = std::make_unique<ScreenFixture>();
    for (const char* cd : {"B", "N", "F", "C", "D"})
        QVERIFY(positions().write(QLatin1String(cd), {0, 1, 2, 3, 4, 15, 16, 17}));
}

void TestColumnPositionsDialogs::cleanup()
{
    m_dialog.reset();
    m_fixture.reset();
}

void TestColumnPositionsDialogs::showsTheStoredRow()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(int, count);
    QFETCH(QString, heading);
    open(name);

    QCOMPARE(m_dialog->objectName(), name);
    QCOMPARE(m_dialog->windowTitle(), caption);
    QVERIFY(m_dialog->findChild<QLabel*>("lblheading"));
    QCOMPARE(child<QLabel>("lblheading")->text(), heading);
    QCOMPARE(child<QPushButton>("OKButton")->text(), QStringLiteral("OK"));
    QCOMPARE(cancelButton()->text(), QStringLiteral("CLOSE"));
    const QStringList labels = {"Client Code :",       "Script Name :", "Rate :",        "Quantity :",
                                "Buy / Sale Status :", "Month :",       "Option Type :", "Option Value :"};
    const QStringList values = {"0", "1", "2", "3", "4", "15", "16", "17"};
    for (int k = 0; k < count; ++k) {
        QCOMPARE(box(k)->text(), values[k]);
        auto* label = child<QLabel>(QStringLiteral("Label1_%1").arg(k));
        QCOMPARE(label->text(), labels[k]);
        QCOMPARE(label->buddy(), box(k));
        if (k > 0) // top to bottom in column order
            QVERIFY(box(k)->geometry().top() > box(k - 1)->geometry().top());
    }
    QVERIFY(!m_dialog->findChild<QLineEdit*>(QStringLiteral("txtcolno_%1").arg(count)));
    QVERIFY(!m_dialog->findChild<QLabel*>(QStringLiteral("Label1_%1").arg(count)));
    QVERIFY(m_fixture->messages().isEmpty());
}

void TestColumnPositionsDialogs::okStoresOnlyItsPositionsAndStaysOpen()
{
    QFETCH(QString, name);
    QFETCH(QString, cd);
    QFETCH(int, count);
    open(name);

    for (int k = 0; k < count; ++k) {
        box(k)->clear();
        QTest::keyClicks(box(k), QString::number(20 + k));
    }
    box(0)->setText(" 0 "); // blanks around a number are no reason to refuse it
    QCOMPARE(cancelButton()->text(), QStringLiteral("CANCEL"));
    click("OKButton");

    QVERIFY(m_dialog->isVisible());
    QCOMPARE(cancelButton()->text(), QStringLiteral("CLOSE"));
    QCOMPARE(box(0)->text(), QStringLiteral("0"));
    ColumnPositions::Row expected = row({0, 21, 22, 23, 24, 25, 26, 27});
    const ColumnPositions::Row untouched = row({0, 1, 2, 3, 4, 15, 16, 17});
    for (int k = count; k < ColumnPositions::kCount; ++k)
        expected[size_t(k)] = untouched[size_t(k)];
    QCOMPARE(stored(cd), expected);
    for (const char* other : {"B", "N", "F", "C", "D"}) {
        if (QLatin1String(other) != cd)
            QCOMPARE(stored(QLatin1String(other)), untouched);
    }
    QVERIFY(m_fixture->messages().isEmpty());
}

void TestColumnPositionsDialogs::editedDialogClosesOnTheSecondPress_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cd");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("escape");
    QTest::newRow("dlgbseconfig") << "dlgbseconfig"
                                  << "B" << 5 << false;
    QTest::newRow("dlgnseconfig") << "dlgnseconfig"
                                  << "N" << 5 << false;
    QTest::newRow("dlgfutconfig") << "dlgfutconfig"
                                  << "F" << 8 << false;
    QTest::newRow("dlgMCXConfig") << "dlgMCXConfig"
                                  << "C" << 6 << false;
    QTest::newRow("dlgncdexconfig") << "dlgncdexconfig"
                                    << "D" << 6 << false;
    // Esc is the same button.
    QTest::newRow("dlgbseconfig, Esc") << "dlgbseconfig"
                                       << "B" << 5 << true;
    QTest::newRow("dlgfutconfig, Esc") << "dlgfutconfig"
                                       << "F" << 8 << true;
}

void TestColumnPositionsDialogs::editedDialogClosesOnTheSecondPress()
{
    QFETCH(QString, name);
    QFETCH(QString, cd);
    QFETCH(int, count);
    QFETCH(bool, escape);
    open(name);
    const auto press = [&] {
        if (escape)
            QTest::keyClick(box(count - 1), Qt::Key_Escape);
        else
            click("CancelButton");
    };

    QTest::keyClicks(box(count - 1), QStringLiteral("9"));
    QCOMPARE(cancelButton()->text(), QStringLiteral("CANCEL"));
    press();
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(cancelButton()->text(), QStringLiteral("CLOSE"));
    QCOMPARE(box(count - 1)->text(), QString::number(stored(cd)[size_t(count - 1)].value()));

    press();
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
    QCOMPARE(stored(cd), row({0, 1, 2, 3, 4, 15, 16, 17}));
}

void TestColumnPositionsDialogs::refusesWhatIsNotAColumnNumber_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("named");
    QTest::newRow("empty") << "dlgbseconfig" << 0 << ""
                           << "Client Code";
    QTest::newRow("word") << "dlgnseconfig" << 2 << "rate"
                          << "Rate";
    QTest::newRow("negative") << "dlgfutconfig" << 7 << "-1"
                              << "Option Value";
    QTest::newRow("fraction") << "dlgMCXConfig" << 5 << "1.5"
                              << "Month";
    QTest::newRow("beyond 16 bits") << "dlgncdexconfig" << 3 << "40000"
                                    << "Quantity";
}

void TestColumnPositionsDialogs::refusesWhatIsNotAColumnNumber()
{
    QFETCH(QString, name);
    QFETCH(int, k);
    QFETCH(QString, typed);
    QFETCH(QString, named);
    open(name);
    const QString cd = name == "dlgbseconfig"   ? "B"
                       : name == "dlgnseconfig" ? "N"
                       : name == "dlgfutconfig" ? "F"
                       : name == "dlgMCXConfig" ? "C"
                                                : "D";

    box(0)->setText(QStringLiteral("11")); // a valid change before the wrong one is not stored either
    box(k)->setText(typed);
    click("OKButton");

    QCOMPARE(m_fixture->messages().size(), 1);
    const PromptMessage& message = m_fixture->messages().first();
    QVERIFY2(message.text.contains(QLatin1Char('"') + named + QLatin1Char('"')), qPrintable(message.text));
    QCOMPARE(message.title, m_dialog->windowTitle());
    QCOMPARE(message.icon, PromptMessage::Icon::Warning);
    QCOMPARE(stored(cd), row({0, 1, 2, 3, 4, 15, 16, 17}));
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(cancelButton()->text(), QStringLiteral("CANCEL"));
    QCOMPARE(box(k)->text(), typed);
}

void TestColumnPositionsDialogs::missingRowIsReported()
{
    QFETCH(QString, name);
    QFETCH(QString, cd);
    QFETCH(int, count);
    m_fixture->store().exec(QStringLiteral("DELETE FROM bnfconfigure WHERE cd = ?"), {cd});
    open(name);

    QCOMPARE(m_fixture->messages().size(), 1);
    QVERIFY2(m_fixture->messages().first().text.contains(QLatin1Char('"') + cd + QLatin1Char('"')),
             qPrintable(m_fixture->messages().first().text));
    for (int k = 0; k < count; ++k)
        box(k)->setText(QString::number(k));
    click("OKButton");
    QCOMPARE(m_fixture->messages().size(), 2); // saving says so again and creates nothing
    QVERIFY(!positions().read(cd));

    click("CancelButton"); // throws the edits away
    click("CancelButton");
    QVERIFY(!m_dialog->isVisible());
}

QTEST_MAIN(TestColumnPositionsDialogs)
#include "tst_columnpositionsdialogs.moc"
