#pragma once

#include "Controls.h"
#include "DeskSession.h"
#include "ScriptedPrompter.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <memory>

/// What a screen test starts from: its own application folder and configuration, a fresh store on the
/// engine under test, a desk session signed in as a user (none for an empty name), and the prompt seam
/// the screens' message boxes go through. Make one in init() and drop it in cleanup(), after the screen.
class ScreenFixture
{
public:
    explicit ScreenFixture(const QString& user = QStringLiteral("admin"));
    ~ScreenFixture();

    TestEnvironment& env() { return *m_env; }
    Store& store() { return *m_store; }
    DeskSession& session() { return *m_session; }
    ScriptedPrompter& prompter() { return m_prompter; }

    /// The message boxes shown so far, oldest first.
    QList<PromptMessage>& messages() { return m_prompter.messages; }

    /// The texts of the message boxes shown so far, oldest first; forgets them.
    QStringList takeMessageTexts();

    /// The text of the last message box shown; empty when none was.
    QString lastMessageText() const;

    /// Writes text to a file of the application folder; returns its path.
    QString writeFile(const QString& name, const QByteArray& content);

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<DeskSession> m_session;
    ScriptedPrompter m_prompter;
};
