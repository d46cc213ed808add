#include "DeskApplication.h"
#include "ScriptedPrompter.h"
#include "StoreError.h"
#include "TestEnvironment.h"

#include <QPushButton>
#include <QTest>

/// A failure that a screen does not handle itself reaches the user and the program goes on.
class TestDeskApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unhandledErrorIsShownAndTheProgramGoesOn();
};

void TestDeskApplication::unhandledErrorIsShownAndTheProgramGoesOn()
{
    TestEnvironment env;
    auto* app = qobject_cast<DeskApplication*>(QCoreApplication::instance());
    QVERIFY(app);
    ScriptedPrompter prompter;
    app->setPrompter(&prompter);

    QPushButton failing(QStringLiteral("fail"));
    failing.setObjectName(QStringLiteral("cmdFail"));
    int clicks = 0;
    connect(&failing, &QPushButton::clicked, this, [&clicks] {
        ++clicks;
        throw StoreError(QStringLiteral("no such table: config"));
    });
    failing.show();

    QTest::mouseClick(&failing, Qt::LeftButton);
    QCOMPARE(prompter.messages.size(), 1);
    QCOMPARE(prompter.messages[0].text, QStringLiteral("no such table: config"));
    QCOMPARE(prompter.messages[0].icon, PromptMessage::Icon::Critical);

    // The window still answers.
    QTest::mouseClick(&failing, Qt::LeftButton);
    QCOMPARE(clicks, 2);
    QCOMPARE(prompter.messages.size(), 2);
    app->setPrompter(nullptr);
}

int main(int argc, char** argv)
{
    DeskApplication app(argc, argv);
    TestDeskApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_deskapplication.moc"
