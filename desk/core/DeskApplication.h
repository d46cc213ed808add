#pragma once

#include <QApplication>

class Prompter;

/// The desk program's application object. A failure that a screen does not handle itself is
/// reported in a message box; the action in progress is abandoned and the program goes on.
class DeskApplication : public QApplication
{
    Q_OBJECT

public:
    DeskApplication(int& argc, char** argv);

    /// Where unhandled errors are shown; without one they go to stderr only.
    void setPrompter(Prompter* prompter) { m_prompter = prompter; }

    bool notify(QObject* receiver, QEvent* event) override;

    /// Shows an error that reached the event loop.
    void reportUnhandledError(const QString& what);

private:
    Prompter* m_prompter = nullptr;
};
