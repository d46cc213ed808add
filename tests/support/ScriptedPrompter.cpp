#include "ScriptedPrompter.h"

PromptAnswer ScriptedPrompter::message(const PromptMessage& message)
{
    messages << message;
    if (onMessage)
        onMessage(message);
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    switch (message.buttons) {
    case PromptMessage::Buttons::YesNo:
    case PromptMessage::Buttons::YesNoCancel:
        return PromptAnswer::Yes;
    default:
        return PromptAnswer::Ok;
    }
}

QString ScriptedPrompter::saveFileName(const QString& caption, const QString&, const QString&)
{
    prompts << caption;
    return m_fileNames.isEmpty() ? QString() : m_fileNames.dequeue();
}

QString ScriptedPrompter::openFileName(const QString& caption, const QString&, const QString&)
{
    prompts << caption;
    return m_fileNames.isEmpty() ? QString() : m_fileNames.dequeue();
}

std::optional<QString> ScriptedPrompter::text(const QString&, const QString& prompt, bool)
{
    prompts << prompt;
    return m_texts.isEmpty() ? std::nullopt : m_texts.dequeue();
}
