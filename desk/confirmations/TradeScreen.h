#pragma once

#include "Store.h"
#include "TradeConfirmations.h"
#include "dlgFileBrowse.h"

#include <QWidget>

#include <memory>

class DeskSession;
class Prompter;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QThread;
class TextGrid;

/// The screen of every kind of trade file: picks trade files, reads them into staging on a worker
/// thread while the window stays responsive, shows what was read (and the store's summary or the
/// engine's raw grid where the kind has one), and generates and queues one or more texts per client.
/// What differs between kinds comes from their description.
class TradeScreen : public QWidget, public FileTarget
{
    Q_OBJECT

public:
    /// Appends the files to List1, passing over (and naming) those already listed.
    void GetFiles(const QStringList& files) override;

    TradeScreen(const TradeFileKind& kind, DeskSession& session, Prompter& prompter,
                QWidget* parent = nullptr);
    ~TradeScreen() override;

    /// True while a read runs; the controls are disabled then and the screen refuses to close.
    bool isBusy() const { return m_reader != nullptr; }

Q_SIGNALS:
    /// A read has ended and its outcome is shown.
    void readFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void browse();
    void readFiles();
    void finishRead();
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

    // The read in progress: its thread, the store's turn it holds, and what it brings back.
    QThread* m_reader = nullptr;
    std::unique_ptr<Store::Turn> m_turn;
    TradeReadReport m_report;
    QString m_readFailure;
    bool m_storeFailure = false;

    TradeFileListBox* List1;
    QPushButton* cmdbrow;
    /// One per layout of the kind: Option1, Option2, …
    QList<QRadioButton*> m_layoutButtons;
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
    /// Only where the kind has a raw grid.
    TextGrid* Mf = nullptr;
    TextGrid* msfmessage;
    QProgressBar* ProgressBar1;
};
