#pragma once

#include "ServerNotifier.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class DispatchServer;
class ServerSettings;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;

/// The dispatch server's one window: account and connection, proxy and server settings, the
/// status box (newest line first), the time and the SMS balance.
class SendMsg : public QWidget
{
    Q_OBJECT

public:
    SendMsg(DispatchServer& server, ServerSettings& settings, ServerNotifier& notifier,
            QWidget* parent = nullptr);

    /// Fills the account boxes from the server: the remembered or given id and password, once the
    /// server has started.
    void loadAccount();

    /// The status box rule: the new line on top, an empty line between lines.
    void AppendStatusLine(const QString& line);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void refresh();
    void loadProxy();
    void showServerSettings();
    void saveServerSettings();

    DispatchServer& m_server;
    ServerSettings& m_settings;
    ServerNotifier& m_notifier;
    bool m_exiting = false;

    QGroupBox* fmConnect;
    QLineEdit* txtUserId;
    QLineEdit* txtUSerPassWord;
    QCheckBox* ChkIdPass;
    QPushButton* cmdConnect2;
    QPushButton* cmdexit2;
    QPushButton* Command1;
    QCheckBox* Chk_proxy;
    QGroupBox* Frm_proxy;
    QLineEdit* Text2;
    QLineEdit* Text1;
    QLineEdit* Text4;
    QLineEdit* Text3;
    QGroupBox* Frame1;
    QComboBox* Combo1;
    QLineEdit* TxtNewIP;
    QPushButton* Cmd_Save;
    QPlainTextEdit* txtMsg;
    QLabel* Label3;
    QLabel* lblSMS;
};

/// Message boxes of the dispatch server over its window. A box is modal to the operator but has no
/// event loop of its own: replies, timers and the pass go on while it is up, so nothing the server
/// does runs nested inside a box. A box whose text is already up is not shown again, so a pass that
/// fails every second leaves one box, not a pile.
class WindowNotifier : public ServerNotifier
{
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    void message(const QString& text, const QString& title, Icon icon) override;

    bool hasOpenBoxes() const;
    /// Runs action now when no box is up, else once the operator has closed the last one: a program
    /// that ends right after a box (another server running, settings saved) ends when it has been read.
    void whenBoxesClosed(std::function<void()> action);

private:
    void boxClosed(QMessageBox* box);

    QWidget* m_parent = nullptr;
    QList<QPointer<QMessageBox>> m_open;
    std::function<void()> m_whenClosed;
};
