#pragma once

#include "Prompter.h"

#include <QList>
#include <QQueue>

#include <functional>

/// Answers the prompt seam from answers given in advance and records everything it was shown.
class ScriptedPrompter : public Prompter
{
public:
    PromptAnswer message(const PromptMessage& message) override;
    QString saveFileName(const QString& caption, const QString& directory, const QString& filter) override;
    QString openFileName(const QString& caption, const QString& directory, const QString& filter) override;
    std::optional<QString> text(const QString& title, const QString& prompt, bool masked) override;

    /// The next message box is answered with this; without one, a box takes its first button.
    void answerNext(PromptAnswer answer) { m_answers.enqueue(answer); }
    /// The next file dialog, save or open, is answered with this; without one, it is cancelled.
    void fileNameNext(const QString& fileName) { m_fileNames.enqueue(fileName); }
    void textNext(std::optional<QString> typed) { m_texts.enqueue(std::move(typed)); }

    QList<PromptMessage> messages;
    QStringList prompts;
    /// Called as each message box is shown, so that a test can see what the screen had done by then.
    std::function<void(const PromptMessage&)> onMessage;

private:
    QQueue<PromptAnswer> m_answers;
    QQueue<QString> m_fileNames;
    QQueue<std::optional<QString>> m_texts;
};
