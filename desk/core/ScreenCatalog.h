#pragma once

#include <QHash>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>

class QWidget;

/// The screens the desk program can open, by screen name; the main window enables a menu entry
/// only when the catalog holds the screen it opens. Screens described elsewhere (the trade-file
/// kinds) bring their menu entries with them.
class ScreenCatalog
{
public:
    using Factory = std::function<QWidget*()>;

    /// A menu entry a screen brings: the menu's objectName, the entry's objectName and caption, and the
    /// screen it opens when chosen.
    struct MenuEntry
    {
        QString menu;
        QString name;
        QString caption;
        std::function<QString()> screenName;
    };
    /// Entries of one menu come in the order they were added, before the menu's own.
    void addMenuEntry(MenuEntry entry) { m_menuEntries.append(std::move(entry)); }
    QList<MenuEntry> menuEntries(const QString& menu) const
    {
        QList<MenuEntry> entries;
        for (const MenuEntry& entry : m_menuEntries) {
            if (entry.menu == menu)
                entries.append(entry);
        }
        return entries;
    }

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
    QList<MenuEntry> m_menuEntries;
};

/// Closes a screen, together with the main window's frame around it when it has one.
void closeScreen(QWidget* screen);

/// Grows a screen, and its frame in the main window, to what its controls now need; returns the
/// room it added.
QSize fitScreen(QWidget* screen);
/// Gives back room that fitScreen added.
void shrinkScreen(QWidget* screen, QSize room);
