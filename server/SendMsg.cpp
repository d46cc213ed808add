#include "SendMsg.h"

#include "DispatchServer.h"
#include "ServerSettings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

SendMsg::SendMsg(DispatchServer& server, ServerSettings& settings, ServerNotifier& notifier, QWidget* parent)
    : QWidget(parent)
    , m_server(server)
    , m_settings(settings)
    , m_notifier(notifier)
{
    setObjectName(QStringLiteral("SendMsg"));
    setWindowTitle(QStringLiteral("Kelvra Solutions  -  Quaylink Software  -  V.%1")
                       .arg(QStringLiteral(KELVRA_VERSION).section(u'.', -1)));

    fmConnect = named(new QGroupBox, "fmConnect");
    txtUserId = named(new QLineEdit, "txtUserId");
    txtUSerPassWord = named(new QLineEdit, "txtUSerPassWord");
    txtUSerPassWord->setEchoMode(QLineEdit::Password);
    ChkIdPass = named(new QCheckBox(QStringLiteral("Remenber Id && PassWord")), "ChkIdPass");
    cmdConnect2 = named(new QPushButton(QStringLiteral("&Connect")), "cmdConnect2");
    cmdexit2 = named(new QPushButton(QStringLiteral("E&xit")), "cmdexit2");
    Command1 = named(new QPushButton(QStringLiteral("Sevrer Settings")), "Command1");
    Chk_proxy = named(new QCheckBox(QStringLiteral("Proxy")), "Chk_proxy");
    Frm_proxy = named(new QGroupBox, "Frm_proxy");
    Text2 = named(new QLineEdit, "Text2");
    Text1 = named(new QLineEdit, "Text1");
    Text4 = named(new QLineEdit, "Text4");
    Text3 = named(new QLineEdit, "Text3");
    Text3->setEchoMode(QLineEdit::Password);
    Frame1 = named(new QGroupBox(QStringLiteral("Server Settings")), "Frame1");
    Combo1 = named(new QComboBox, "Combo1");
    Combo1->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                      QStringLiteral("5"), QStringLiteral("9")});
    TxtNewIP = named(new QLineEdit, "TxtNewIP");
    Cmd_Save = named(new QPushButton(QStringLiteral("Save")), "Cmd_Save");
    txtMsg = named(new QPlainTextEdit, "txtMsg");
    txtMsg->setReadOnly(true);
    Label3 = named(new QLabel(QStringLiteral("Time")), "Label3");
    lblSMS = named(new QLabel, "lblSMS");

    auto* account = new QFormLayout;
    account->addRow(QStringLiteral("UserName:"), txtUserId);
    account->addRow(QStringLiteral("PassWord:"), txtUSerPassWord);
    account->addRow(ChkIdPass);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdConnect2);
    buttons->addWidget(cmdexit2);
    buttons->addWidget(Command1);
    account->addRow(buttons);
    auto* proxyBoxes = new QFormLayout(Frm_proxy);
    proxyBoxes->addRow(QStringLiteral("Address :"), Text2);
    proxyBoxes->addRow(QStringLiteral("Port"), Text1);
    proxyBoxes->addRow(QStringLiteral("User Name"), Text4);
    proxyBoxes->addRow(QStringLiteral("Password"), Text3);
    account->addRow(Chk_proxy);
    account->addRow(Frm_proxy);
    fmConnect->setLayout(account);

    auto* serverBoxes = new QFormLayout(Frame1);
    serverBoxes->addRow(QStringLiteral("Server Selection :"), Combo1);
    serverBoxes->addRow(TxtNewIP);
    serverBoxes->addRow(Cmd_Save);
    Frame1->hide();

    auto* status = new QHBoxLayout;
    status->addWidget(Label3);
    status->addStretch();
    status->addWidget(lblSMS);
    auto* left = new QVBoxLayout;
    left->addWidget(fmConnect);
    left->addWidget(Frame1);
    left->addStretch();
    auto* main = new QHBoxLayout;
    main->addLayout(left);
    auto* right = new QVBoxLayout;
    right->addWidget(txtMsg);
    right->addLayout(status);
    main->addLayout(right, 1);
    setLayout(main);
    resize(760, 420);

    connect(&m_server, &DispatchServer::statusLine, this, &SendMsg::AppendStatusLine);
    connect(&m_server, &DispatchServer::stateChanged, this, &SendMsg::refresh);
    connect(cmdConnect2, &QPushButton::clicked, this, [this] {
        m_server.setUserId(txtUserId->text());
        m_server.setPassword(txtUSerPassWord->text());
        m_server.cmdConnect2_Click();
    });
    connect(cmdexit2, &QPushButton::clicked, this, [this] {
        m_exiting = true;
        m_server.exitServer();
    });
    // Leaving a box remembers it, whether or not the remember box is set.
    connect(txtUserId, &QLineEdit::editingFinished, this, [this] {
        m_server.setUserId(txtUserId->text());
        m_settings.setUserId(txtUserId->text());
    });
    connect(txtUSerPassWord, &QLineEdit::editingFinished, this, [this] {
        m_server.setPassword(txtUSerPassWord->text());
        m_settings.setPassword(txtUSerPassWord->text());
    });
    connect(txtUserId, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_server.setUserId(text); });
    connect(txtUSerPassWord, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_server.setPassword(text); });
    connect(ChkIdPass, &QCheckBox::clicked, this,
            [this](bool checked) { m_settings.setRememberIdPassword(checked); });
    connect(Chk_proxy, &QCheckBox::clicked, this, [this](bool checked) {
        Frm_proxy->setEnabled(checked);
        m_settings.setProxyEnabled(checked);
    });
    connect(Text1, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_settings.setProxyValue(QStringLiteral("Port"), text); });
    connect(Text2, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_settings.setProxyValue(QStringLiteral("Address"), text); });
    connect(Text3, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_settings.setProxyValue(QStringLiteral("Password"), text); });
    connect(Text4, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_settings.setProxyValue(QStringLiteral("UserName"), text); });
    connect(Command1, &QPushButton::clicked, this, &SendMsg::showServerSettings);
    connect(Combo1, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { TxtNewIP->setEnabled(text == QLatin1String("9")); });
    connect(Cmd_Save, &QPushButton::clicked, this, &SendMsg::saveServerSettings);

    loadAccount();
    loadProxy();
    refresh();
}

void SendMsg::loadAccount()
{
    txtUserId->setText(m_server.userId());
    txtUSerPassWord->setText(m_server.password());
    ChkIdPass->setChecked(m_server.rememberIdPassword());
}

void SendMsg::loadProxy()
{
    const ServerSettings::Proxy proxy = m_settings.proxy();
    Chk_proxy->setChecked(proxy.enabled);
    Text2->setText(proxy.address);
    Text1->setText(proxy.port);
    Text4->setText(proxy.userName);
    Text3->setText(proxy.password);
    Frm_proxy->setEnabled(proxy.enabled);
}

void SendMsg::refresh()
{
    cmdConnect2->setEnabled(m_server.connectEnabled());
    Label3->setText(m_server.timeText().isEmpty() ? QStringLiteral("Time") : m_server.timeText());
    lblSMS->setText(m_server.balanceText());
}

void SendMsg::AppendStatusLine(const QString& line)
{
    const QString previous = txtMsg->toPlainText();
    txtMsg->setPlainText(previous.isEmpty() ? line + QStringLiteral("\n\n")
                                            : line + QStringLiteral("\n\n") + previous);
}

void SendMsg::showServerSettings()
{
    Combo1->setCurrentText(m_settings.serverNumber());
    TxtNewIP->setText(m_settings.server9Address());
    TxtNewIP->setEnabled(Combo1->currentText() == QLatin1String("9"));
    m_server.stopDispatch();
    fmConnect->setEnabled(false);
    Frame1->show();
}

void SendMsg::saveServerSettings()
{
    m_server.cancelTransfer();
    m_settings.setServerNumber(Combo1->currentText());
    m_settings.setServer9Address(TxtNewIP->text().trimmed());
    m_notifier.message(QStringLiteral("Save Sucessfully\r\n\r\n!! Restart Server Again !!"));
    m_exiting = true;
    m_server.closeServer();
}

void SendMsg::closeEvent(QCloseEvent* event)
{
    if (!m_exiting) {
        m_exiting = true;
        m_server.closeServer();
    }
    event->accept();
}

void WindowNotifier::message(const QString& text, const QString& title, Icon icon)
{
    const QString caption = title.isEmpty() ? QStringLiteral("Quaylink") : title;
    for (const QPointer<QMessageBox>& open : std::as_const(m_open)) {
        if (open && open->text() == text && open->windowTitle() == caption)
            return;
    }
    auto* box = new QMessageBox(m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(caption);
    box->setText(text);
    switch (icon) {
    case Icon::None:
        break;
    case Icon::Information:
        box->setIcon(QMessageBox::Information);
        break;
    case Icon::Question:
        box->setIcon(QMessageBox::Question);
        break;
    case Icon::Critical:
        box->setIcon(QMessageBox::Critical);
        break;
    }
    m_open.append(box);
    QObject::connect(box, &QDialog::finished, box, [this, box] { boxClosed(box); });
    box->show();
}

bool WindowNotifier::hasOpenBoxes() const
{
    return std::any_of(m_open.cbegin(), m_open.cend(),
                       [](const QPointer<QMessageBox>& box) { return !box.isNull(); });
}

void WindowNotifier::whenBoxesClosed(std::function<void()> action)
{
    if (!hasOpenBoxes())
        return action();
    m_whenClosed = std::move(action);
}

void WindowNotifier::boxClosed(QMessageBox* box)
{
    m_open.removeIf([box](const QPointer<QMessageBox>& open) { return open.isNull() || open == box; });
    if (!hasOpenBoxes() && m_whenClosed)
        std::exchange(m_whenClosed, nullptr)();
}
