#include "ScreenFixture.h"

ScreenFixture::ScreenFixture(const QString& user)
    : m_env(std::make_unique<TestEnvironment>())
    , m_store(m_env->openStore())
    , m_session(std::make_unique<DeskSession>(*m_store))
{
    m_session->setCurrentUserName(user);
}

ScreenFixture::~ScreenFixture()
{
    m_session.reset();
    m_store.reset();
    m_env.reset();
}

QStringList ScreenFixture::takeMessageTexts()
{
    QStringList texts;
    for (const PromptMessage& message : std::as_const(m_prompter.messages))
        texts << message.text;
    m_prompter.messages.clear();
    return texts;
}

QString ScreenFixture::lastMessageText() const
{
    return m_prompter.messages.isEmpty() ? QString() : m_prompter.messages.last().text;
}

QString ScreenFixture::writeFile(const QString& name, const QByteArray& content)
{
    return m_env->writeFile(name, content);
}
