#include "DeskApplication.h"

#include "Prompter.h"
#include "StoreError.h"

#include <cstdio>

DeskApplication::DeskApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool DeskApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const StoreError& error) {
        reportUnhandledError(error.message());
    } catch (const std::exception& error) {
        reportUnhandledError(QString::fromStdString(error.what()));
    }
    return false;
}

void DeskApplication::reportUnhandledError(const QString& what)
{
    std::fprintf(stderr, "brisant: %s\n", qPrintable(what.simplified()));
    if (m_prompter)
        m_prompter->message({what, QString(), PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
}
