#pragma once

#include <QString>
#include <QStringList>

#include <optional>

/// What a message box shows: its text, title, icon and buttons, exactly as the screen gives them.
struct PromptMessage
{
    enum class Icon { None, Information, Question, Warning, Critical };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };

    QString text;
    /// Empty: the program's own title.
    QString title;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    /// Shown on request below the text, in a scrolling area of its own; empty: nothing to show. Its
    /// initializer lets the boxes that have none leave it out of their braces.
    QString details = {};
};

enum class PromptAnswer { Ok, Cancel, Yes, No };

/// The one seam through which screens show message boxes and ask for files and texts.
/// The windows answer it with real dialogs; tests answer it in advance.
class Prompter
{
public:
    virtual ~Prompter() = default;

    virtual PromptAnswer message(const PromptMessage& message) = 0;

    /// A file name chosen in a save dialog; empty when cancelled.
    virtual QString saveFileName(const QString& caption, const QString& directory, const QString& filter) = 0;

    /// An existing file chosen in an open dialog; empty when cancelled.
    virtual QString openFileName(const QString& caption, const QString& directory, const QString& filter) = 0;

    /// A line of text typed at a prompt; nothing when cancelled.
    virtual std::optional<QString> text(const QString& title, const QString& prompt, bool masked) = 0;
};
