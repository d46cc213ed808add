#include "frmlogin.h"

#include "DeskSession.h"
#include "Store.h"
#include "Ticker.h"
#include "UserTable.h"
#include "WindowGeometry.h"
#include "mdimain.h"

#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* makeBox(QWidget* parent, const char* name, bool masked)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    if (masked) {
        box->setEchoMode(QLineEdit::Password);
        // The boxes show a star for each character, as the users know them.
        box->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    }
    return box;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QLabel* makeLabel(QWidget* parent, const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

frmlogin::frmlogin(DeskSession& session, std::function<mdimain*()> openMainWindow, Ticker* timer,
                   QWidget* parent)
    : QWidget(parent)
    , m_session(session)
    , m_openMainWindow(std::move(openMainWindow))
    , Timer1(timer)
{
    setObjectName(QStringLiteral("frmlogin"));
    setWindowTitle(QStringLiteral("Brisant - Kelvra"));
    Timer1->setParent(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    auto* heading = new QLabel(QStringLiteral("Brisant"), this);
    QFont headingFont = heading->font();
    headingFont.setPointSize(headingFont.pointSize() * 2);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->setAlignment(Qt::AlignCenter);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::StyledPanel);
    txtusername = makeBox(Frame1, "txtusername", false);
    txtpassword = makeBox(Frame1, "txtpassword", true);
    txtusername->setText(QStringLiteral("admin"));
    txtpassword->setText(QStringLiteral("sesam"));
    cmdlogin = makeButton(Frame1, "cmdlogin", QStringLiteral("&Login"));
    cmdexit = makeButton(Frame1, "cmdexit", QStringLiteral("&Exit"));
    cmdchgpass = makeButton(Frame1, "cmdchgpass", QStringLiteral("&Change Password"));
    auto* loginGrid = new QGridLayout(Frame1);
    loginGrid->addWidget(makeLabel(Frame1, QStringLiteral("USER NAME :"), txtusername), 0, 0);
    loginGrid->addWidget(txtusername, 0, 1);
    loginGrid->addWidget(makeLabel(Frame1, QStringLiteral("PASSWORD :"), txtpassword), 1, 0);
    loginGrid->addWidget(txtpassword, 1, 1);
    auto* loginButtons = new QHBoxLayout;
    loginButtons->addWidget(cmdlogin);
    loginButtons->addWidget(cmdexit);
    loginButtons->addWidget(cmdchgpass);
    loginGrid->addLayout(loginButtons, 2, 0, 1, 2);

    Frame2 = new QFrame(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setFrameShape(QFrame::StyledPanel);
    txtusername1 = makeBox(Frame2, "txtusername1", false);
    txtoldpass = makeBox(Frame2, "txtoldpass", true);
    txtnewpass = makeBox(Frame2, "txtnewpass", true);
    cmdchangepass = makeButton(Frame2, "cmdchangepass", QStringLiteral("&Change Password "));
    cmdReturn = makeButton(Frame2, "cmdReturn", QStringLiteral("&Return"));
    auto* changeGrid = new QGridLayout(Frame2);
    changeGrid->addWidget(makeLabel(Frame2, QStringLiteral("USER NAME :"), txtusername1), 0, 0);
    changeGrid->addWidget(txtusername1, 0, 1);
    changeGrid->addWidget(makeLabel(Frame2, QStringLiteral("PASSWORD :"), txtoldpass), 1, 0);
    changeGrid->addWidget(txtoldpass, 1, 1);
    changeGrid->addWidget(makeLabel(Frame2, QStringLiteral("NEW PASSWORD :"), txtnewpass), 2, 0);
    changeGrid->addWidget(txtnewpass, 2, 1);
    auto* changeButtons = new QHBoxLayout;
    changeButtons->addWidget(cmdchangepass);
    changeButtons->addWidget(cmdReturn);
    changeGrid->addLayout(changeButtons, 3, 0, 1, 2);
    Frame2->hide();

    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setText(QStringLiteral("Time left : \n%1").arg(kTimeLimitSeconds));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, kTimeLimitSeconds);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    auto* limit = new QHBoxLayout;
    limit->addWidget(Label4);
    limit->addWidget(ProgressBar1, 1);
    layout->addLayout(limit);

    setTabOrder(txtusername, txtpassword);
    setTabOrder(txtpassword, cmdlogin);
    setTabOrder(cmdlogin, cmdexit);
    setTabOrder(cmdexit, cmdchgpass);
    setTabOrder(cmdchgpass, txtusername1);
    setTabOrder(txtusername1, txtoldpass);
    setTabOrder(txtoldpass, txtnewpass);
    setTabOrder(txtnewpass, cmdchangepass);
    setTabOrder(cmdchangepass, cmdReturn);
    WindowGeometry::remember(this, objectName());

    connect(cmdlogin, &QPushButton::clicked, this, &frmlogin::login);
    connect(txtpassword, &QLineEdit::returnPressed, this, &frmlogin::login);
    connect(txtnewpass, &QLineEdit::returnPressed, this, &frmlogin::changePassword);
    connect(cmdexit, &QPushButton::clicked, this, &frmlogin::exitProgram);
    connect(cmdchgpass, &QPushButton::clicked, this, &frmlogin::showChangePanel);
    connect(cmdReturn, &QPushButton::clicked, this, &frmlogin::returnToLogin);
    connect(cmdchangepass, &QPushButton::clicked, this, &frmlogin::changePassword);
    connect(Timer1, &Ticker::tick, this, &frmlogin::countSecond);
    Timer1->start();
}

void frmlogin::login()
{
    if (txtusername->text().isEmpty()) {
        txtusername->setFocus();
        return;
    }
    if (txtpassword->text().isEmpty()) {
        txtpassword->setFocus();
        return;
    }
    const QString name = txtusername->text();
    if (!UserTable(m_session.StoreConnection()).findWithPassword(name, txtpassword->text())) {
        txtusername->clear();
        txtpassword->clear();
        txtusername->setFocus();
        return;
    }
    Timer1->stop();
    m_session.setCurrentUserName(name);
    mdimain* main = m_openMainWindow();
    main->setUserMasterAvailable(name.toLower() == QLatin1String("admin"));
    main->show();
    close();
}

void frmlogin::exitProgram()
{
    Timer1->stop();
    m_session.StoreConnection().close();
    close();
    Q_EMIT programEnded();
}

void frmlogin::showChangePanel()
{
    txtusername->clear();
    txtpassword->clear();
    Timer1->stop();
    Frame1->hide();
    Frame2->show();
    txtusername1->setFocus();
}

void frmlogin::returnToLogin()
{
    txtnewpass->clear();
    txtoldpass->clear();
    txtusername1->clear();
    Frame1->show();
    Frame2->hide();
    Timer1->start();
    txtusername->setFocus();
}

void frmlogin::changePassword()
{
    for (QLineEdit* box : {txtusername1, txtoldpass, txtnewpass}) {
        if (box->text().isEmpty()) {
            box->setFocus();
            return;
        }
    }
    if (UserTable(m_session.StoreConnection())
            .changePassword(txtusername1->text(), txtoldpass->text(), txtnewpass->text()))
        returnToLogin();
}

void frmlogin::countSecond()
{
    ProgressBar1->setValue(ProgressBar1->value() + 1);
    const int left = kTimeLimitSeconds - ProgressBar1->value();
    Label4->setText(QStringLiteral("Time left : \n%1").arg(left));
    if (ProgressBar1->value() >= kTimeLimitSeconds)
        exitProgram();
}
