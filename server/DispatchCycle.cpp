#include "DispatchCycle.h"

#include "DispatchQueue.h"
#include "GatewaySession.h"
#include "PassJournal.h"
#include "ServerClock.h"
#include "ServerNotifier.h"
#include "Store.h"
#include "cZLIB.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <utility>

namespace {

constexpr int kMaxPerPass = 2000;
constexpr int kStoreRetryMs = 1000;

// The time as the status lines show it.
QString shown(const QDateTime& time)
{
    return time.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss AP"));
}

// The upload file is named after the user id; keep whatever the operator typed out of the path.
QString fileSafe(const QString& text)
{
    QString safe;
    for (const QChar c : text)
        safe += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'-' || c == u'_' || c == u'.'
                    ? c
                    : QChar(u'_');
    return safe;
}

// Tests end the process at a named stage of the pass (QUAYLINK_STOP_AT), as a crash or a power cut would.
void stopHereForTests(const QString& stage)
{
    static const QString stopAt = qEnvironmentVariable("QUAYLINK_STOP_AT");
    if (stopAt.isEmpty() || stopAt != stage)
        return;
    std::fflush(stdout);
    std::raise(SIGKILL);
}

void makeOwnerOnlyFolder(const QString& path)
{
    QDir().mkpath(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

DispatchCycle::DispatchCycle(const Store& store, GatewaySession& session, ServerNotifier& notifier,
                             ServerClock& clock, QString uploadFolder, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_session(session)
    , m_notifier(notifier)
    , m_clock(clock)
    , m_uploadFolder(std::move(uploadFolder))
{
}

bool DispatchCycle::isUsableNumber(const QString& mobileNo)
{
    if (mobileNo.size() < 10 || mobileNo.size() > 12)
        return false;
    const QStringView sent = QStringView(mobileNo).right(10);
    return std::all_of(sent.begin(), sent.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

void DispatchCycle::run(std::function<void()> done)
{
    m_done = std::move(done);
    m_running = true;
    m_stopping = false;
    m_count = 0;
    m_discarded = 0;
    m_invalid = 0;
    m_next = 0;
    m_lastPosted = false;
    m_marked = false;
    m_markError.reset();
    m_read.clear();
    m_chunks.clear();
    m_report.reset();
    m_elapsed.start();

    makeOwnerOnlyFolder(QFileInfo(m_uploadFolder).path());
    makeOwnerOnlyFolder(m_uploadFolder);
    const QString path =
        QDir(m_uploadFolder).filePath(fileSafe(m_session.userId) + QStringLiteral("_NWM.SMS"));
    m_stamp = uploadStamp();
    m_uploadName = m_stamp + QStringLiteral("_NWM");
    try {
        m_count = buildUpload(path);
    } catch (const StoreError& error) {
        Q_EMIT statusLine(QStringLiteral("DatabaseError: ") + error.message());
        if (m_recoverStore)
            m_recoverStore();
        Q_EMIT statusLine(QStringLiteral("Sent: Failed 0 ") + shown(m_clock.now()));
        return end();
    } catch (const PayloadFileError& error) {
        // Nothing was marked: the rows that would have gone stay in the queue for the next pass.
        Q_EMIT statusLine(QStringLiteral("Upload: %1; %2 messages stay Queued")
                              .arg(QString::fromLocal8Bit(error.what()))
                              .arg(m_count));
        Q_EMIT statusLine(QStringLiteral("Sent: Failed %1 ").arg(m_count) + shown(m_clock.now()));
        return end();
    }
    if (m_discarded > 0)
        Q_EMIT textsSettled(QStringLiteral("Discarded"), m_discarded);
    if (m_invalid > 0)
        Q_EMIT textsSettled(QStringLiteral("Invalid"), m_invalid);
    Q_EMIT rowsMarked(m_count, m_count + m_discarded + m_invalid);
    if (m_count >= m_session.balance())
        m_notifier.message(QStringLiteral("SMS balance zero Send only %1 SMS").arg(m_session.balance()));
    if (m_count == 0) {
        Q_EMIT statusLine(QStringLiteral("Sent: Failed 0 ") + shown(m_clock.now()));
        return end();
    }

    try {
        QByteArray data = ReadWholeFile(path);
        static cZLIB zlib;
        zlib.CompressString(data, 15);
        const QByteArray hex = HexEncodeText(data);
        WriteWholeFile(path, hex);
        m_chunks = SplitIntoChunks(hex);
    } catch (const PayloadFileError& error) {
        Q_EMIT statusLine(QStringLiteral("Upload: ") + QString::fromLocal8Bit(error.what()));
        return failUpload();
    }
    postNext();
}

int DispatchCycle::buildUpload(const QString& path)
{
    DispatchQueue queue(m_store);
    Transaction transaction(m_store);
    const QList<DispatchQueue::Row> rows = queue.selectQueued(kMaxPerPass);
    QList<int> discarded;
    QList<int> invalid;
    QByteArray list;
    int count = 0;
    for (const DispatchQueue::Row& row : rows) {
        if (row.message.isEmpty()) {
            discarded << row.nid;
            continue;
        }
        // Never "Sent" when nothing was sent: an unusable number has a final status of its own.
        if (!isUsableNumber(row.mobileNo)) {
            invalid << row.nid;
            continue;
        }
        if (count >= m_session.balance())
            break; // does not fit in the balance: stays queued
        AppendMessageRecord(list, row.mobileNo.right(10), row.message);
        m_read << row.nid;
        if (++count == kMaxPerPass)
            break;
    }
    m_count = count;
    m_discarded = int(discarded.size());
    m_invalid = int(invalid.size());
    queue.markDiscarded(discarded);
    queue.markInvalid(invalid);
    WriteWholeFile(path, list);
    transaction.commit();
    return count;
}

bool DispatchCycle::markRows()
{
    try {
        Transaction transaction(m_store);
        DispatchQueue(m_store).markRead(m_read, m_clock.now());
        PassJournal(m_store).begin(m_uploadName, m_session.userId, m_read);
        transaction.commit();
    } catch (const StoreError& error) {
        m_markError = error.message();
        return false;
    }
    m_marked = true;
    stopHereForTests(QStringLiteral("marked"));
    return true;
}

void DispatchCycle::endUnmarked()
{
    Q_EMIT statusLine(QStringLiteral("DatabaseError: ") + *m_markError);
    if (m_recoverStore)
        m_recoverStore();
    // The rows are still "Queued"; the gateway holds at most a first chunk of an upload without its last.
    Q_EMIT statusLine(QStringLiteral("Sent: Failed %1 ").arg(m_count) + shown(m_clock.now()));
    end();
}

void DispatchCycle::postNext()
{
    if (m_stopping)
        return end();
    const UploadChunk& chunk = m_chunks.at(m_next);
    if (chunk.status == 0) {
        if (m_marked)
            return post(chunk);
        // The rows become "Read", and the pass's journal begins, once the first chunk has been handed to
        // the network: the store's work then overlaps the gateway's answer, which waits in the socket
        // until it is done. Lost, the marking leaves the rows "Queued" and the gateway a first chunk of
        // an upload without its last, which it never delivers; the last chunk goes only after it.
        return post(chunk, [this] { markRows(); });
    }
    if (!m_marked && !markRows())
        return endUnmarked();
    // Once the last chunk is out the upload may be complete at the gateway: never requeue after that.
    // This is the pass's first write that waits for the disk; it takes the rows' marking along.
    advanceThen(PassJournal::Stage::LastPosted, [this] { post(m_chunks.at(m_next)); });
}

void DispatchCycle::advanceThen(PassJournal::Stage stage, std::function<void()> then,
                                const QString& debitReply)
{
    auto journalKept = std::make_shared<bool>(true);
    recordThen(
        [this, stage, debitReply, journalKept] {
            *journalKept = PassJournal(m_store).setStage(m_uploadName, stage, debitReply);
        },
        [this, journalKept, then = std::move(then)] {
            if (*journalKept)
                return then();
            // While this server was cut off from the store another one started and settled the pass:
            // its rows are no longer this pass's to send or to record.
            Q_EMIT statusLine(
                QStringLiteral("Upload %1: settled meanwhile by another server; the pass ends here")
                    .arg(m_uploadName));
            end();
        });
}

void DispatchCycle::post(const UploadChunk& chunk, std::function<void()> written)
{
    const bool last = chunk.status != 0;
    if (last)
        written = [this] {
            m_lastPosted = true;
            stopHereForTests(QStringLiteral("lastposted"));
        };
    m_session.postChunk(
        chunk.text, chunk.status, m_uploadName,
        [this, last](const GatewayClient::Reply& reply) { onChunkReply(reply, last); }, std::move(written));
}

void DispatchCycle::onChunkReply(const GatewayClient::Reply& reply, bool last)
{
    if (m_markError)
        return endUnmarked();
    if (!reply.delivered) {
        Q_EMIT statusLine(QStringLiteral("Upload: ") + reply.error);
        // A last chunk that never fully left cannot have completed the upload at the gateway.
        if (!last || !m_lastPosted)
            return failUpload();
        return lostLastReply(reply.oversized ? QStringLiteral("an oversized reply")
                                             : QStringLiteral("no reply"));
    }
    const QByteArray answer = reply.body.toLower();
    if (!last) {
        if (answer != "done")
            return failUpload();
        ++m_next;
        stopHereForTests(QStringLiteral("chunk:%1").arg(m_next));
        return postNext();
    }
    // The gateway took the last chunk. Only its own word that the upload did not complete sends the
    // messages again; an error page or an empty reply says nothing of what it did with them.
    if (reply.status != 200)
        return lostLastReply(QStringLiteral("HTTP %1").arg(reply.status));
    if (reply.body.isEmpty())
        return lostLastReply(QStringLiteral("an empty reply"));
    if (answer != "complete")
        return failUpload();
    advanceThen(PassJournal::Stage::Complete, [this] {
        stopHereForTests(QStringLiteral("complete"));
        uploaded();
    });
}

void DispatchCycle::failUpload()
{
    if (!m_stopping)
        m_notifier.message(QStringLiteral("Send Fail!"));
    Q_EMIT statusLine(QStringLiteral("Sent: Failed %1 ").arg(m_count) + shown(m_clock.now()));
    // The gateway never took the upload whole, whatever the journal's stage: as if the last chunk had
    // never been posted.
    finishThen(PassJournal::outcomeAt(PassJournal::Stage::Marked), [this] { end(); });
}

void DispatchCycle::lostLastReply(const QString& reply)
{
    // The gateway may have taken the whole upload: sending it again could deliver every message twice.
    Q_EMIT statusLine(QStringLiteral("Upload %1: %2 to the last chunk; %3 messages marked Deleted")
                          .arg(m_uploadName, reply)
                          .arg(m_count));
    finishThen(PassJournal::outcomeAt(PassJournal::Stage::LastPosted), [this] { end(); });
}

void DispatchCycle::uploaded()
{
    if (m_stopping)
        return end();
    m_session.setBalance(std::max(0, m_session.balance() - m_count), m_session.balanceText());
    m_session.debit(m_count, m_stamp, [this](const GatewayClient::Reply& reply) { onDebitReply(reply); });
}

void DispatchCycle::onDebitReply(const GatewayClient::Reply& reply)
{
    // No reply at all counts as an unconfirmed debit: the upload itself was accepted.
    const QString answer = reply.delivered ? QString::fromUtf8(reply.body) : QString();
    const QString outcome = PassJournal::outcomeAt(PassJournal::Stage::Debited, answer);
    advanceThen(
        PassJournal::Stage::Debited,
        [this, outcome] {
            stopHereForTests(QStringLiteral("debited"));
            if (outcome == QLatin1String("Sent"))
                Q_EMIT statusLine(QStringLiteral("Successfully Sent: %1 ").arg(m_count) +
                                  shown(m_clock.now()));
            else
                Q_EMIT statusLine(
                    QStringLiteral("Message Sent but Balance not Deducted %1 , Contect to your vendor ")
                        .arg(m_count) +
                    shown(m_clock.now()));
            finishThen(outcome, [this] {
                m_session.setBalance(m_session.balance(),
                                     QStringLiteral("Balance SMS: %1").arg(m_session.balance()));
                end();
            });
        },
        answer);
}

void DispatchCycle::finishThen(const QString& status, std::function<void()> then)
{
    auto rows = std::make_shared<int>(0);
    recordThen(
        [this, status, rows] {
            *rows = PassJournal(m_store).finish(m_uploadName, status, m_elapsed.elapsed() / 1000.0);
        },
        [this, status, rows, then = std::move(then)] {
            // No rows: the pass had been settled meanwhile by another server, which reports it.
            if (*rows > 0) {
                m_report =
                    PassReport{m_uploadName, *rows, status, m_elapsed.elapsed() / 1000.0, m_clock.now()};
                Q_EMIT textsSettled(status, *rows);
            }
            then();
        });
}

void DispatchCycle::recordThen(std::function<void()> write, std::function<void()> then, int attempt)
{
    try {
        write();
    } catch (const StoreError& error) {
        if (attempt == 1)
            Q_EMIT statusLine(QStringLiteral("DatabaseError: ") + error.message() +
                              QStringLiteral(" (trying again every second)"));
        // Another server took the store meanwhile: what this pass would write is no longer its own.
        if (m_recoverStore && !m_recoverStore())
            return end();
        if (m_stopping)
            return end(); // the journal keeps the pass for the next start
        m_clock.callAfter(kStoreRetryMs, this,
                          [this, write = std::move(write), then = std::move(then), attempt] {
                              recordThen(write, then, attempt + 1);
                          });
        return;
    }
    then();
}

void DispatchCycle::end()
{
    m_running = false;
    m_session.client().endSession();
    if (m_report)
        Q_EMIT passEnded(*std::exchange(m_report, std::nullopt));
    const auto done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done();
}

QString DispatchCycle::uploadStamp()
{
    // Milliseconds close the pattern's seconds; the generator is never seeded, as before.
    return m_clock.now().toString(QStringLiteral("yyyyMMdd_HHmmsszzz")) + u'_' +
           QString::number(m_random() % 9999999u);
}
