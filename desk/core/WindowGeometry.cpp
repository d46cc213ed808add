#include "WindowGeometry.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace {

QSettings userSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kelvra"),
                     QStringLiteral("Kelvra"));
}

QString settingsKey(const QString& window, const char* value)
{
    return QStringLiteral("Windows/%1/%2").arg(window, QLatin1String(value));
}

QRect keptInside(QRect rect, const QRect& room)
{
    if (room.isEmpty())
        return rect;
    rect.moveLeft(
        std::clamp(rect.left(), room.left(), std::max(room.left(), room.right() - rect.width() + 1)));
    rect.moveTop(std::clamp(rect.top(), room.top(), std::max(room.top(), room.bottom() - rect.height() + 1)));
    return rect;
}

} // namespace

WindowGeometry::WindowGeometry(QWidget* window, const QString& key, QSize workingSize, bool maximised)
    : QObject(window)
    , m_window(window)
    , m_key(key)
    , m_workingSize(workingSize)
    , m_maximised(maximised)
{
    window->installEventFilter(this);
}

void WindowGeometry::remember(QWidget* window, const QString& key, QSize workingSize)
{
    new WindowGeometry(window, key, workingSize, false);
}

void WindowGeometry::rememberMaximised(QWidget* window, const QString& key, QSize normalSize)
{
    new WindowGeometry(window, key, normalSize, true);
}

bool WindowGeometry::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
            if (!m_restored)
                restore();
            break;
        case QEvent::Hide:
        case QEvent::Close:
            if (m_restored)
                save();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

QRect WindowGeometry::room(const QRect& near) const
{
    if (!m_window->isWindow())
        return m_window->parentWidget() ? m_window->parentWidget()->rect() : QRect();
    QScreen* screen = near.isValid() ? QGuiApplication::screenAt(near.center()) : nullptr;
    if (!screen)
        screen = m_window->screen();
    return screen ? screen->availableGeometry() : QRect();
}

void WindowGeometry::restore()
{
    m_restored = true;
    const QSettings settings = userSettings();
    const QRect saved = settings.value(settingsKey(m_key, "geometry")).toRect();
    const bool topLevel = m_window->isWindow();
    QRect area = room(saved);
    // Before the main window is laid out its area has no size yet; nothing can be judged then.
    const QSize limit = area.isEmpty() ? QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX) : area.size();

    if (saved.isValid() && saved.width() <= limit.width() && saved.height() <= limit.height()) {
        m_window->setGeometry(keptInside(saved, area));
        if (topLevel && settings.value(settingsKey(m_key, "maximised")).toBool())
            m_window->setWindowState(m_window->windowState() | Qt::WindowMaximized);
        return;
    }

    const QSize size = m_workingSize.expandedTo(m_window->sizeHint()).boundedTo(limit);
    if (!topLevel) {
        m_window->setGeometry(keptInside(QRect(m_window->pos(), size), area));
        // A frame opened maximised fills the main window's area and grows with it.
        if (m_maximised)
            m_window->setWindowState(m_window->windowState() | Qt::WindowMaximized);
        return;
    }
    if (!m_maximised) {
        // The window manager, or a dialog's own centring, places it.
        m_window->resize(size);
        return;
    }
    // Un-maximising later gives back this size, in the middle of the screen.
    QRect normal(QPoint(), size);
    if (!area.isEmpty())
        normal.moveCenter(area.center());
    m_window->setGeometry(normal);
    m_window->setWindowState(m_window->windowState() | Qt::WindowMaximized);
}

void WindowGeometry::save() const
{
    QSettings settings = userSettings();
    if (m_window->isWindow()) {
        const bool maximised = m_window->isMaximized();
        const QRect normal = maximised ? m_window->normalGeometry() : m_window->geometry();
        if (normal.isValid())
            settings.setValue(settingsKey(m_key, "geometry"), normal);
        settings.setValue(settingsKey(m_key, "maximised"), maximised);
        return;
    }
    // A frame minimised or maximised inside the main window keeps the place it had before.
    if (!m_window->isMinimized() && !m_window->isMaximized())
        settings.setValue(settingsKey(m_key, "geometry"), m_window->geometry());
}
