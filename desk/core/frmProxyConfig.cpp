#include "frmProxyConfig.h"

#include "DeskSession.h"
#include "Prompter.h"
#include "ProxyConfigRow.h"
#include "ScreenCatalog.h"
#include "Store.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Configuration");

QLineEdit* makeBox(QWidget* parent, const char* name, int maxLength = 0)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    if (maxLength > 0)
        box->setMaxLength(maxLength);
    return box;
}

QRadioButton* makeOption(QWidget* parent, const char* name, const QString& caption)
{
    auto* option = new QRadioButton(caption, parent);
    option->setObjectName(QLatin1String(name));
    return option;
}

void addRow(QFormLayout* form, const QString& caption, QWidget* box)
{
    auto* label = new QLabel(caption, box->parentWidget());
    label->setBuddy(box);
    form->addRow(label, box);
}

} // namespace

frmProxyConfig::frmProxyConfig(DeskSession& session, Prompter& prompter, QWidget* parent)
    : QWidget(parent)
    , m_session(session)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmProxyConfig"));
    setWindowTitle(kTitle);

    auto* proxyBox = new QGroupBox(QStringLiteral("Proxy"), this);
    opt_proxy_1 = makeOption(proxyBox, "opt_proxy_1", QStringLiteral("&Use Proxy"));
    opt_proxy_0 = makeOption(proxyBox, "opt_proxy_0", QStringLiteral("&No Proxy"));
    auto* proxyGroup = new QButtonGroup(this);
    proxyGroup->addButton(opt_proxy_0, 0);
    proxyGroup->addButton(opt_proxy_1, 1);

    fm_proxyConfig = new QGroupBox(proxyBox);
    fm_proxyConfig->setObjectName(QStringLiteral("fm_proxyConfig"));
    txtservername = makeBox(fm_proxyConfig, "txtservername");
    txtport = makeBox(fm_proxyConfig, "txtport");
    optVer_1 = makeOption(fm_proxyConfig, "optVer_1", QStringLiteral("Sock Proxy Version &5"));
    optVer_0 = makeOption(fm_proxyConfig, "optVer_0", QStringLiteral("Sock Proxy Version &4"));
    auto* versionGroup = new QButtonGroup(this);
    versionGroup->addButton(optVer_0, 0);
    versionGroup->addButton(optVer_1, 1);
    fmauth = new QGroupBox(fm_proxyConfig);
    fmauth->setObjectName(QStringLiteral("fmauth"));
    txtusername = makeBox(fmauth, "txtusername");
    txtpassword = makeBox(fmauth, "txtpassword");
    txtpassword->setEchoMode(QLineEdit::Password);

    auto* authForm = new QFormLayout(fmauth);
    addRow(authForm, QStringLiteral("User Name :"), txtusername);
    addRow(authForm, QStringLiteral("Password :"), txtpassword);
    auto* serverForm = new QFormLayout;
    addRow(serverForm, QStringLiteral("&Server IP :"), txtservername);
    addRow(serverForm, QStringLiteral("Server &Port :"), txtport);
    auto* versions = new QHBoxLayout;
    versions->addWidget(optVer_1);
    versions->addWidget(optVer_0);
    versions->addStretch();
    auto* proxyConfigLayout = new QVBoxLayout(fm_proxyConfig);
    proxyConfigLayout->addLayout(serverForm);
    proxyConfigLayout->addLayout(versions);
    proxyConfigLayout->addWidget(fmauth);
    auto* options = new QHBoxLayout;
    options->addWidget(opt_proxy_1);
    options->addWidget(opt_proxy_0);
    options->addStretch();
    auto* proxyLayout = new QVBoxLayout(proxyBox);
    proxyLayout->addLayout(options);
    proxyLayout->addWidget(fm_proxyConfig);

    auto* other = new QGroupBox(this);
    cmbsaudatype = new QComboBox(other);
    cmbsaudatype->setObjectName(QStringLiteral("cmbsaudatype"));
    cmbsaudatype->addItems({QStringLiteral("ODIN"), QStringLiteral("ORIN")});
    txtinpath = makeBox(other, "txtinpath");
    txtoutpath = makeBox(other, "txtoutpath");
    txtsuperuser = makeBox(other, "txtsuperuser");
    txtsmsuser = makeBox(other, "txtsmsuser", 30);
    txtsmspass = makeBox(other, "txtsmspass", 30);
    txtkelvraip = makeBox(other, "txtkelvraip", 15);
    txtkelvraport = makeBox(other, "txtkelvraport", 15);
    auto* otherForm = new QFormLayout(other);
    addRow(otherForm, QStringLiteral("Sauda File Type"), cmbsaudatype);
    addRow(otherForm, QStringLiteral("Inpath"), txtinpath);
    addRow(otherForm, QStringLiteral("Outpath"), txtoutpath);
    addRow(otherForm, QStringLiteral("Super User Name :"), txtsuperuser);
    addRow(otherForm, QStringLiteral("SMS UserName :"), txtsmsuser);
    addRow(otherForm, QStringLiteral("SMS Password :"), txtsmspass);
    addRow(otherForm, QStringLiteral("Gateway IP : "), txtkelvraip);
    addRow(otherForm, QStringLiteral("Port :"), txtkelvraport);

    cmdsave = new QPushButton(QStringLiteral("&Save"), this);
    cmdsave->setObjectName(QStringLiteral("cmdsave"));
    cmdcancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdcancel->setObjectName(QStringLiteral("cmdcancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdsave);
    buttons->addWidget(cmdcancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(proxyBox);
    layout->addWidget(other);
    layout->addLayout(buttons);

    QWidget* order[] = {opt_proxy_1, opt_proxy_0, txtservername, txtport,       optVer_1,   optVer_0,
                        txtusername, txtpassword, cmbsaudatype,  txtinpath,     txtoutpath, txtsuperuser,
                        txtsmsuser,  txtsmspass,  txtkelvraip,   txtkelvraport, cmdsave,    cmdcancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    opt_proxy_0->setChecked(true);
    optVer_0->setChecked(true);
    connect(opt_proxy_0, &QRadioButton::clicked, this, &frmProxyConfig::proxyChosen);
    connect(opt_proxy_1, &QRadioButton::clicked, this, &frmProxyConfig::proxyChosen);
    connect(optVer_0, &QRadioButton::clicked, this, &frmProxyConfig::versionChosen);
    connect(optVer_1, &QRadioButton::clicked, this, &frmProxyConfig::versionChosen);
    connect(cmdsave, &QPushButton::clicked, this, &frmProxyConfig::save);
    connect(cmdcancel, &QPushButton::clicked, this, [this] { closeScreen(this); });

    load();
}

void frmProxyConfig::load()
{
    const ProxyConfigRow::Values values = ProxyConfigRow(m_session.StoreConnection()).read();
    if (values.useproxy == QLatin1String("N")) {
        opt_proxy_0->setChecked(true);
    } else {
        opt_proxy_1->setChecked(true);
        txtservername->setText(values.serverip);
        txtport->setText(QString::number(values.serverport));
        (values.proxyver == 5 ? optVer_1 : optVer_0)->setChecked(true);
        txtusername->setText(values.username);
        txtpassword->setText(values.password);
    }
    fm_proxyConfig->setEnabled(opt_proxy_1->isChecked());
    fmauth->setEnabled(optVer_1->isChecked());
    int fileType = cmbsaudatype->findText(values.fileType);
    if (fileType < 0 && !values.fileType.isEmpty()) {
        // A layout the list does not offer stays as stored until the operator picks another.
        cmbsaudatype->addItem(values.fileType);
        fileType = cmbsaudatype->count() - 1;
    }
    cmbsaudatype->setCurrentIndex(fileType);
    txtsuperuser->setText(values.superUser);
    txtinpath->setText(values.inpath);
    txtoutpath->setText(values.outpath);
    txtkelvraport->setText(values.kelvraport);
    txtsmsuser->setText(values.smsuser);
    txtsmspass->setText(values.smspass);
    txtkelvraip->setText(values.kelvraip);
}

void frmProxyConfig::proxyChosen()
{
    fm_proxyConfig->setEnabled(opt_proxy_1->isChecked());
    if (opt_proxy_0->isChecked()) {
        txtservername->clear();
        txtport->clear();
        txtusername->clear();
        txtpassword->clear();
    }
}

void frmProxyConfig::versionChosen()
{
    fmauth->setEnabled(optVer_1->isChecked());
    if (optVer_0->isChecked()) {
        txtusername->clear();
        txtpassword->clear();
    }
}

void frmProxyConfig::save()
{
    const bool useProxy = opt_proxy_1->isChecked();
    if (useProxy && (txtservername->text().isEmpty() || txtport->text().isEmpty())) {
        m_prompter.message({QStringLiteral("Pls. Provide Serverip and port"), QString(),
                            PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
        return;
    }
    if (txtsuperuser->text().trimmed().isEmpty()) {
        m_prompter.message({QStringLiteral("Pls. Enter Super User Name "), kTitle,
                            PromptMessage::Icon::Information, PromptMessage::Buttons::Ok});
        return;
    }

    ProxyConfigRow::Values values;
    if (useProxy) {
        bool isNumber = false;
        values.serverport = txtport->text().trimmed().toInt(&isNumber);
        if (!isNumber) {
            m_prompter.message({QStringLiteral("The server port %1 is not a number").arg(txtport->text()),
                                kTitle, PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
            return;
        }
        values.useproxy = QStringLiteral("Y");
        values.serverip = txtservername->text();
        values.proxyver = optVer_0->isChecked() ? 4 : 5;
        values.username = txtusername->text();
        values.password = txtpassword->text();
    } else {
        values.useproxy = QStringLiteral("N");
        values.serverport = 0;
        values.proxyver = 0;
    }
    values.fileType = cmbsaudatype->currentText();
    values.superUser = txtsuperuser->text();
    values.inpath = txtinpath->text();
    values.outpath = txtoutpath->text();
    values.smsuser = txtsmsuser->text();
    values.smspass = txtsmspass->text();
    values.kelvraip = txtkelvraip->text();
    values.kelvraport = txtkelvraport->text();
    try {
        ProxyConfigRow(m_session.StoreConnection()).write(values);
    } catch (const StoreError& error) {
        m_prompter.message(
            {error.message(), kTitle, PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
        return;
    }
    m_session.setTradeFileType(values.fileType);
    m_prompter.message({QStringLiteral("Configuration Stored"), QString(), PromptMessage::Icon::None,
                        PromptMessage::Buttons::Ok});
}
