#pragma once

#include <QList>
#include <QString>

#include <optional>

class Store;

/// The dispatch server's journal of the pass in progress (table DispatchPass): its upload name, the
/// rows it marked "Read" and how far the upload got, so that every row of a pass
/// cut short by a crash, a lost reply or a store failure ends in a known state.
///
/// Every write of the journal outlives a crash of this server. Against a crash of the database server
/// itself only two wait for the disk: LastPosted, before the last chunk goes (lost, the pass would go
/// back to the queue and its messages out twice), and rows put back in the queue (lost, they could end
/// "Deleted", never sent). On PostgreSQL every other commit of a pass returns without waiting: seen at
/// once by every connection, it is lost only when the database server fails before its log reaches
/// the disk (a moment later, or at the next commit that waits, which takes every earlier one along),
/// and the pass then resolves from what is left: its start lost, its rows are "Queued" as before and
/// the gateway holds at most chunks of an upload without its last; a later stage lost, it ends in an
/// outcome that sends nothing again.
class PassJournal
{
public:
    /// How far a pass got; each stage is written before the step that could leave it unknown. Only
    /// LastPosted waits for the disk (see above): a lost Complete makes "DelSent" a "Deleted", a lost
    /// Debited makes "Sent" a "DelSent".
    enum class Stage {
        Marked,     // rows marked "Read", the last chunk not yet posted
        LastPosted, // the last chunk was posted, its reply not yet read
        Complete,   // the gateway acknowledged the upload "complete"
        Debited,    // the debit was answered (DebitReply holds the reply)
    };

    /// What became of the rows of one interrupted pass; an empty upload name stands for rows left
    /// "Read" that no journal names.
    struct Resolution
    {
        QString uploadName;
        int queued = 0;
        int sent = 0;
        int delSent = 0;
        int deleted = 0;
    };

    explicit PassJournal(const Store& store);

    /// Opens the journal of a pass; runs inside the transaction that marks its rows "Read", whose commit
    /// then need not wait for the disk: LastPosted takes it there before the last chunk goes.
    void begin(const QString& uploadName, const QString& userId, const QList<int>& nids) const;
    /// False when the pass has no journal any more: another server settled it.
    bool setStage(const QString& uploadName, Stage stage, const QString& debitReply = {}) const;
    /// Gives the pass's rows still "Read" their final status, closes its journal and records the pass
    /// in the history, in one transaction; returns how many rows changed. Only a return to the queue
    /// ("Queued") is waited for on disk: any other status, lost, comes back from the journal's stage.
    int finish(const QString& uploadName, const QString& status, std::optional<double> seconds = {}) const;

    /// Resolves every pass left in the journal by how far it got (outcomeAt). Rows left "Read" that no
    /// journal names take orphanStatus. The pass named keepUpload,
    /// one still in progress, is left as it is. The history keeps each as settled by settledBy.
    QList<Resolution> resolveInterrupted(const QString& orphanStatus, const QString& keepUpload = {},
                                         const QString& settledBy = QStringLiteral("start-up")) const;

    static QString stageName(Stage stage);
    /// What the rows of a pass become when it ends at stage with no further word from the gateway:
    /// "Queued" before the last chunk was posted (the upload cannot have completed), "Deleted" once it
    /// was (sending again could deliver every message twice), "DelSent" once the upload was complete,
    /// and after the debit "Sent" when it was answered "Success", else "DelSent".
    static QString outcomeAt(Stage stage, const QString& debitReply = {});

private:
    /// The commit of the transaction this runs in need not wait for the disk (PostgreSQL; SQLite waits
    /// as ever). Outside a transaction it does nothing.
    void commitWithoutWaiting() const;
    QString rowsOfPass() const;
    int setRowsOf(const QString& uploadName, const QString& status) const;

    const Store& m_store;
};
