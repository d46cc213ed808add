#pragma once

#include "CashConfirmations.h"
#include "dlgFileBrowse.h"

#include <QWidget>

class DeskSession;
class Prompter;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class TextGrid;

/// The cash-market trade screen of one exchange: picks trade files, reads them into staging, shows
/// the staged trades and the summary, and generates and queues one or more texts per client.
class CashTradeScreen : public QWidget, public FileTarget
{
    Q_OBJECT

public:
    /// Appends the files to List1, passing over (and naming) those already listed.
    void GetFiles(const QStringList& files) override;

protected:
    CashTradeScreen(const char* name, const QString& caption, DeskSession& session, Prompter& prompter,
                    CashExchange exchange, QWidget* parent);

    void closeEvent(QCloseEvent* event) override;

private:
    void browse();
    void readFiles();
    /// After a failed read, the store's failure has been shown once already.
    void showStaged(bool reportFailure = true);
    void generateMessages();
    void sendMessages();
    void configure();
    void setBusy(bool busy);
    void reportStoreError(const QString& message);

    DeskSession& m_session;
    Prompter& m_prompter;
    CashConfirmations m_engine;
    bool m_busy = false;

    TradeFileListBox* List1;
    QPushButton* cmdbrow;
    QPushButton* cmdReadFile;
    QLineEdit* txtprefix;
    QPushButton* cmdGenMessage;
    QPushButton* cmdSendMessage;
    QPushButton* cmdConfigure;
    QTabWidget* SSTab1;
    TextGrid* msf1;
    TextGrid* msf2;
    TextGrid* msfmessage;
    QProgressBar* ProgressBar1;
};
