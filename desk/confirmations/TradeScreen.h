#pragma once

#include "TradeConfirmations.h"
#include "dlgFileBrowse.h"

#include <QWidget>

class DeskSession;
class Prompter;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class TextGrid;

/// The screen of one kind of trade file: picks trade files, reads them into staging, shows the staged
/// trades (and the store's summary where the kind has one), and generates and queues one or more texts
/// per client. What differs between kinds comes from their description.
class TradeScreen : public QWidget, public FileTarget
{
    Q_OBJECT

public:
    /// Appends the files to List1, passing over (and naming) those already listed.
    void GetFiles(const QStringList& files) override;

    TradeScreen(const TradeFileKind& kind, DeskSession& session, Prompter& prompter,
                QWidget* parent = nullptr);
    ~TradeScreen() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void browse();
    void readFiles();
    /// After a failed read, the store's failure has been shown once already.
    void showStaged(bool reportFailure = true);
    void generateMessages();
    void sendMessages();
    /// Says how many texts the last Generate or Send left out as queued today already, if any.
    void reportAlreadyQueued();
    void configure();
    void setBusy(bool busy);
    void reportStoreError(const QString& message);

    DeskSession& m_session;
    Prompter& m_prompter;
    const TradeFileKind& m_kind;
    std::unique_ptr<TradeConfirmations> m_engine;
    bool m_busy = false;

    TradeFileListBox* List1;
    QPushButton* cmdbrow;
    QPushButton* cmdReadFile;
    /// Only where the kind has a prefix box.
    QLineEdit* txtprefix = nullptr;
    QPushButton* cmdGenMessage;
    QPushButton* cmdSendMessage;
    QPushButton* cmdConfigure;
    QTabWidget* SSTab1;
    TextGrid* msf1;
    /// Only where the kind has a summary.
    TextGrid* msf2 = nullptr;
    TextGrid* msfmessage;
    QProgressBar* ProgressBar1;
};

/// The cash-market screens were the first built on it.
using CashTradeScreen = TradeScreen;
