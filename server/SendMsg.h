#pragma once

#include "ServerNotifier.h"

#include <QWidget>

class DispatchServer;
class ServerSettings;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
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

/// Message boxes of the dispatch server as real modal boxes over its window.
class WindowNotifier : public ServerNotifier
{
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    void message(const QString& text, const QString& title, Icon icon) override;

private:
    QWidget* m_parent = nullptr;
};
