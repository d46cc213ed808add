#pragma once

#include "GatewayClient.h"
#include "PassJournal.h"
#include "UploadPayload.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <random>

class GatewaySession;
class ServerClock;
class ServerNotifier;
class Store;

/// How one pass that took rows ended: the status its rows took ("Sent", "DelSent", "Deleted", or
/// "Queued" after a failed upload), how many and how long it took.
struct PassReport
{
    QString uploadName{};
    int rows = 0;
    QString outcome{};
    double seconds = 0;
    QDateTime ended{};
};

/// One dispatch pass: takes up to 2000 queued messages that fit in the balance, writes the upload
/// file, uploads it chunk by chunk, asks for the debit and records the outcome, keeping the pass
/// journal up to date so that every row ends in a known state whatever fails.
class DispatchCycle : public QObject
{
    Q_OBJECT

public:
    DispatchCycle(const Store& store, GatewaySession& session, ServerNotifier& notifier, ServerClock& clock,
                  QString uploadFolder, QObject* parent = nullptr);

    /// SendSmsSingleFile: one upload pass over a logged-in session; done runs once when it has ended.
    void run(std::function<void()> done);
    /// The pass ends before its next request, or instead of its next store retry; rows it leaves
    /// "Read" stay in the journal for the server to resolve.
    void stop() { m_stopping = true; }
    bool isRunning() const { return m_running; }

    /// A number the gateway can take: 10 to 12 characters whose last ten (the part sent) are digits.
    static bool isUsableNumber(const QString& mobileNo);

    /// Asked after a failed store statement, before it is tried again: puts the store right where it
    /// can (a lost connection opened anew); false when the pass must end at once without writing
    /// anything more, its rows being no longer this server's.
    void setStoreRecovery(std::function<bool()> recover) { m_recoverStore = std::move(recover); }
    /// The upload name of the pass in progress; empty between passes.
    QString uploadInProgress() const { return m_running ? m_uploadName : QString(); }

Q_SIGNALS:
    void statusLine(const QString& line);
    /// The pass was built: read rows were taken into its upload (they become "Read" as its first chunk
    /// goes), and taken rows in all left the queue (those and the rows given a status of their own,
    /// "Discarded" or "Invalid").
    void rowsMarked(int read, int taken);
    /// count rows took status for good (or "Queued" again), as recorded in the store.
    void textsSettled(const QString& status, int count);
    /// A pass that took rows has recorded its outcome; emitted as it ends.
    void passEnded(const PassReport& report);

private:
    int buildUpload(const QString& path);
    /// Marks the upload's rows "Read" and begins the pass's journal; false, with m_markError, when the
    /// store refused, and nothing was marked.
    bool markRows();
    /// The pass ends without having marked its rows.
    void endUnmarked();
    void postNext();
    void post(const UploadChunk& chunk, std::function<void()> written = {});
    void onChunkReply(const GatewayClient::Reply& reply, bool last);
    void failUpload();
    /// The outcome of the upload is unknown: the gateway may have taken it whole.
    void lostLastReply(const QString& reply);
    /// Moves the journal on; false (the pass has ended) when another server settled the pass.
    void advanceThen(PassJournal::Stage stage, std::function<void()> then, const QString& debitReply = {});
    /// Gives the pass's rows their status and closes its journal, then goes on with then.
    void finishThen(const QString& status, std::function<void()> then);
    void uploaded();
    void onDebitReply(const GatewayClient::Reply& reply);
    /// Runs a store write, retrying every second while the store fails, then goes on with then.
    void recordThen(std::function<void()> write, std::function<void()> then, int attempt = 1);
    void end();
    QString uploadStamp();

    const Store& m_store;
    GatewaySession& m_session;
    ServerNotifier& m_notifier;
    ServerClock& m_clock;
    QString m_uploadFolder;
    std::minstd_rand m_random;

    std::function<void()> m_done;
    std::function<bool()> m_recoverStore;
    bool m_running = false;
    bool m_stopping = false;
    int m_count = 0;
    int m_discarded = 0;
    int m_invalid = 0;
    QElapsedTimer m_elapsed;
    std::optional<PassReport> m_report; // once the outcome is recorded
    QString m_stamp;
    QString m_uploadName;
    QList<UploadChunk> m_chunks;
    qsizetype m_next = 0;
    bool m_lastPosted = false; // the whole last chunk request was handed to the network
    QList<int> m_read;         // the rows in the upload
    bool m_marked = false;     // they are "Read", and the journal holds the pass
    std::optional<QString> m_markError;
};
