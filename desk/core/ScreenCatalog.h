#pragma once

#include <QHash>
#include <QSize>
#include <QString>

#include <functional>

class QWidget;

/// The screens the desk program can open, by screen name; the main window enables a menu entry
/// only when the catalog holds the screen it opens.
class ScreenCatalog
{
public:
    using Factory = std::function<QWidget*()>;

    void add(const QString& screenName, Factory factory)
    {
        m_factories.insert(screenName, std::move(factory));
    }
    bool contains(const QString& screenName) const { return m_factories.contains(screenName); }
    /// A new screen without a parent; nothing when the catalog has no such screen.
    QWidget* create(const QString& screenName) const
    {
        const auto found = m_factories.constFind(screenName);
        return found == m_factories.constEnd() ? nullptr : (*found)();
    }

private:
    QHash<QString, Factory> m_factories;
};

/// Closes a screen, together with the main window's frame around it when it has one.
void closeScreen(QWidget* screen);

/// Grows a screen, and its frame in the main window, to what its controls now need; returns the
/// room it added.
QSize fitScreen(QWidget* screen);
/// Gives back room that fitScreen added.
void shrinkScreen(QWidget* screen, QSize room);
