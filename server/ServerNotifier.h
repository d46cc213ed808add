#pragma once

#include <QString>

/// The seam through which the dispatch server shows its message boxes: modal boxes over the window,
/// status lines without one, recorded answers in tests. message() never waits for the box to close:
/// the server goes on as soon as it has said it.
class ServerNotifier
{
public:
    enum class Icon { None, Information, Question, Critical };

    virtual ~ServerNotifier() = default;
    /// An empty title means the program's own title, "Quaylink".
    virtual void message(const QString& text, const QString& title = {}, Icon icon = Icon::None) = 0;
};
