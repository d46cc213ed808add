#pragma once

#include <QWidget>

class DeskSession;
class Prompter;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

/// The configuration screen: edits the one proxyconfig row.
class frmProxyConfig : public QWidget
{
    Q_OBJECT

public:
    frmProxyConfig(DeskSession& session, Prompter& prompter, QWidget* parent = nullptr);

private:
    void load();
    void proxyChosen();
    void versionChosen();
    void save();

    DeskSession& m_session;
    Prompter& m_prompter;

    QRadioButton* opt_proxy_1;
    QRadioButton* opt_proxy_0;
    QGroupBox* fm_proxyConfig;
    QLineEdit* txtservername;
    QLineEdit* txtport;
    QRadioButton* optVer_1;
    QRadioButton* optVer_0;
    QGroupBox* fmauth;
    QLineEdit* txtusername;
    QLineEdit* txtpassword;
    QComboBox* cmbsaudatype;
    QLineEdit* txtinpath;
    QLineEdit* txtoutpath;
    QLineEdit* txtsuperuser;
    QLineEdit* txtsmsuser;
    QLineEdit* txtsmspass;
    QLineEdit* txtkelvraip;
    QLineEdit* txtkelvraport;
    QPushButton* cmdsave;
    QPushButton* cmdcancel;
};
