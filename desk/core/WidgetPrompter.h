#pragma once

#include "Prompter.h"

class QWidget;

/// Answers the prompt seam with real Qt dialogs, parented to a window of the program.
class WidgetPrompter : public Prompter
{
public:
    /// programTitle: the title of boxes that have none of their own.
    WidgetPrompter(QString programTitle, QWidget* parent = nullptr);

    void setParent(QWidget* parent) { m_parent = parent; }

    PromptAnswer message(const PromptMessage& message) override;
    QString saveFileName(const QString& caption, const QString& directory, const QString& filter) override;
    QString openFileName(const QString& caption, const QString& directory, const QString& filter) override;
    std::optional<QString> text(const QString& title, const QString& prompt, bool masked) override;

private:
    QString m_programTitle;
    QWidget* m_parent;
};
