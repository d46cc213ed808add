#pragma once

#include <QString>

/// The seam through which the dispatch server shows its message boxes: real modal boxes in the
/// window, status lines (never waiting) without one, recorded answers in tests.
class ServerNotifier
{
public:
    enum class Icon { None, Information, Question, Critical };

    virtual ~ServerNotifier() = default;
    /// An empty title means the program's own title, "Quaylink".
    virtual void message(const QString& text, const QString& title = {}, Icon icon = Icon::None) = 0;
};
