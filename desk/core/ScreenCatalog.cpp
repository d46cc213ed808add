#include "ScreenCatalog.h"

#include <QMdiSubWindow>

void closeScreen(QWidget* screen)
{
    if (auto* frame = qobject_cast<QMdiSubWindow*>(screen->parentWidget()))
        frame->close();
    else
        screen->close();
}

void fitScreen(QWidget* screen)
{
    screen->adjustSize();
    if (auto* frame = qobject_cast<QMdiSubWindow*>(screen->parentWidget()))
        frame->adjustSize();
}
