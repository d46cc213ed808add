#pragma once

#include "ScreenCatalog.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

class DeskSession;
class Prompter;
class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStatusBar;

/// The main window: the menu that leads to every screen, each opened inside it at most once,
/// and the backup of the store.
class mdimain : public QMainWindow
{
    Q_OBJECT

public:
    mdimain(DeskSession& session, Prompter& prompter, ScreenCatalog screens, QWidget* parent = nullptr);

    /// Set by the login: true for the administrator only.
    void setUserMasterAvailable(bool available);

    /// Opens the screen, or brings it forward when it is open already; returns it.
    QWidget* openScreen(const QString& screenName);
    /// The open screen of that name, if any.
    QWidget* screen(const QString& screenName) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Entry
    {
        QAction* action;
        std::function<QString()> screenName;
    };
    QMenu* addMenuNamed(const char* name, const QString& caption);
    QAction* addEntry(QMenu* menu, const QString& name, const QString& caption,
                      std::function<QString()> screenName, std::function<void()> beforeOpening = {});
    QAction* addEntry(QMenu* menu, const char* name, const QString& caption,
                      std::function<QString()> screenName, std::function<void()> beforeOpening = {})
    {
        return addEntry(menu, QString::fromLatin1(name), caption, std::move(screenName),
                        std::move(beforeOpening));
    }
    void addSeparator(QMenu* menu, const char* name);
    void refreshEntries();
    void backup();
    void showBankDetails();

    DeskSession& m_session;
    Prompter& m_prompter;
    ScreenCatalog m_screens;
    bool m_userMasterAvailable = false;
    QList<Entry> m_entries;
    QHash<QString, QPointer<QMdiSubWindow>> m_open;
    QPointer<QWidget> m_bankDetails;

    QMdiArea* m_area;
    QStatusBar* StatusBar1;
    QAction* m_mast_user = nullptr;
};
