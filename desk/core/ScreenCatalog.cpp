#include "ScreenCatalog.h"

#include <QMdiSubWindow>

void closeScreen(QWidget* screen)
{
    if (auto* frame = qobject_cast<QMdiSubWindow*>(screen->parentWidget()))
        frame->close();
    else
        screen->close();
}

namespace {

QWidget* outerWindow(QWidget* screen)
{
    auto* frame = qobject_cast<QMdiSubWindow*>(screen->parentWidget());
    return frame ? frame : screen;
}

} // namespace

QSize fitScreen(QWidget* screen)
{
    QWidget* outer = outerWindow(screen);
    // Only ever grows: a size the user chose, and the screen remembers, stays when it is big enough.
    const QSize before = outer->size();
    outer->resize(before.expandedTo(outer->sizeHint()));
    return outer->size() - before;
}

void shrinkScreen(QWidget* screen, QSize room)
{
    QWidget* outer = outerWindow(screen);
    outer->resize(outer->size() - room);
}
