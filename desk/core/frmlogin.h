#pragma once

#include <QWidget>

#include <functional>

class DeskSession;
class mdimain;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class Ticker;

/// The login window: checks a user name and password, changes a password, and ends the program
/// after one minute spent on its login panel.
class frmlogin : public QWidget
{
    Q_OBJECT

public:
    /// openMainWindow builds the main window a successful login shows. timer ticks once a second.
    frmlogin(DeskSession& session, std::function<mdimain*()> openMainWindow, Ticker* timer,
             QWidget* parent = nullptr);

    static constexpr int kTimeLimitSeconds = 60;

Q_SIGNALS:
    /// Exit or the end of the time limit: the store is closed and the program must end.
    void programEnded();

private:
    void login();
    void exitProgram();
    void showChangePanel();
    void returnToLogin();
    void changePassword();
    void countSecond();

    DeskSession& m_session;
    std::function<mdimain*()> m_openMainWindow;
    Ticker* Timer1;

    QFrame* Frame1;
    QLineEdit* txtusername;
    QLineEdit* txtpassword;
    QPushButton* cmdlogin;
    QPushButton* cmdexit;
    QPushButton* cmdchgpass;
    QFrame* Frame2;
    QLineEdit* txtusername1;
    QLineEdit* txtoldpass;
    QLineEdit* txtnewpass;
    QPushButton* cmdchangepass;
    QPushButton* cmdReturn;
    QLabel* Label4;
    QProgressBar* ProgressBar1;
};
