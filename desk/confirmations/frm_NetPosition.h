#pragma once

#include "NetPositionConfirmations.h"
#include "dlgFileBrowse.h"

#include <QWidget>

class DeskSession;
class Prompter;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QThread;
class TextGrid;

/// The net-position screen: picks reports, reads them in the layout chosen by its option buttons on a
/// worker thread, shows the positions and their fragments, and generates and queues the texts.
class frm_NetPosition : public QWidget, public FileTarget
{
    Q_OBJECT

public:
    /// Appends the files to List1, passing over (and naming) those already listed.
    void GetFiles(const QStringList& files) override;

    frm_NetPosition(const TradeFileKind& kind, DeskSession& session, Prompter& prompter,
                    QWidget* parent = nullptr);
    ~frm_NetPosition() override;

    /// True while a read runs; the controls are disabled then.
    bool isBusy() const { return m_reader != nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void browse();
    void readFiles();
    void finishRead();
    void generateMessages();
    void sendMessages();
    void configure();
    void setBusy(bool busy);
    void reportError(const QString& message);

    DeskSession& m_session;
    Prompter& m_prompter;
    NetPositionConfirmations m_engine;
    QThread* m_reader = nullptr;
    TradeReadReport m_report;
    QString m_readFailure;
    QList<QueueGridRow> m_messages;

    TradeFileListBox* List1;
    QPushButton* cmdbrow;
    QRadioButton* Option1;
    QRadioButton* Option2;
    QPushButton* cmdReadFile;
    QLineEdit* txtprefix;
    QPushButton* cmdGenMessage;
    QPushButton* cmdSendMessage;
    QPushButton* cmdConfigure;
    QTabWidget* SSTab1;
    TextGrid* msf1;
    TextGrid* Mf;
    TextGrid* msfmessage;
    QProgressBar* ProgressBar1;
};
