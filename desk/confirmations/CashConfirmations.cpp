#include "CashConfirmations.h"

#include "CashTradeTable.h"
#include "ClientTable.h"
#include "DecimalText.h"
#include "DeskSession.h"
#include "Store.h"
#include "TradeLineSplitter.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <charconv>
#include <cmath>
#include <limits>

namespace {

// A text passing this length starts the next text of the client.
constexpr qsizetype kMaximumTextLength = 158;
constexpr qint64 kReadChunk = 1 << 20;
// Larger amounts do not fit the staging table's amount column on every engine.
constexpr qint64 kLargestHundredths = 100'000'000'000'000'000;

enum Position { ClientCode, ScriptName, Rate, Qty, Flag, kPositionCount };

const char* const kPositionNames[kPositionCount] = {"clientcode", "script_name", "rate", "qty", "bs_state"};

QByteArrayView trimmedBytes(QByteArrayView field)
{
    qsizetype begin = 0;
    qsizetype end = field.size();
    while (begin < end && (field[begin] == ' ' || field[begin] == '\t'))
        ++begin;
    while (end > begin && (field[end - 1] == ' ' || field[end - 1] == '\t'))
        --end;
    return field.sliced(begin, end - begin);
}

// A number as the trade files write it: optional sign, digits, optional decimals.
bool parseNumber(QByteArrayView field, double* value)
{
    QByteArrayView text = trimmedBytes(field);
    if (text.startsWith('+'))
        text = text.sliced(1);
    if (text.isEmpty() || !(text[0] == '-' || text[0] == '.' || (text[0] >= '0' && text[0] <= '9')))
        return false;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, *value, std::chars_format::fixed);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(*value);
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Trade files come from terminals of every age: UTF-8 where it is valid, else Latin-1.
QString decode(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QString foldCode(const QString& code)
{
    return code.toCaseFolded();
}

struct Fragment
{
    QString clientCode;
    QString mymsg;
};

} // namespace

/// Reads one trade file line by line into the staging writer, following the screen's rules.
class CashConfirmations::FileReader
{
public:
    FileReader(const CashConfirmations& owner, CashTradeTable::Writer& writer, CashReadReport& report)
        : m_bse(owner.m_exchange == CashExchange::Bse)
        , m_splitter(m_bse ? '|' : ',', m_bse ? ',' : '|')
        , m_writer(writer)
        , m_report(report)
    {
        for (int k = 0; k < kPositionCount; ++k) {
            m_positions[k] = *owner.m_positions[size_t(k)];
            m_needed = std::max(m_needed, m_positions[k] + 1);
        }
    }

    // Returns false when the rest of the file is to be skipped.
    bool readLine(QByteArrayView line, const QString& file, qint64 lineNumber)
    {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            return true;
        // A configured position beyond the last field skips the line, as a short line does.
        if (m_splitter.split(line) < m_needed) {
            ++m_report.skipped;
            return true;
        }
        CashTradeRow row;
        const QByteArrayView rateField = m_splitter.field(m_positions[Rate]);
        // BSE writes the rate in paise.
        const std::optional<qint64> rate = RoundToHundredths(rateField, m_bse ? -2 : 0);
        if (!rate || std::abs(*rate) >= kLargestHundredths) {
            ++m_report.skipped;
            if (m_bse) {
                m_report.conversionErrors
                    << QStringLiteral("Type mismatch: the rate \"%1\" on line %2 of %3 is not a "
                                      "number; the rest of the file was not read.")
                           .arg(decode(rateField), QString::number(lineNumber), file);
                return false;
            }
            problem(file, lineNumber,
                    QStringLiteral("the rate \"%1\" is not a number").arg(decode(rateField)));
            return true;
        }
        row.rate = FormatHundredths(*rate);

        const QByteArrayView qtyField = m_splitter.field(m_positions[Qty]);
        double qty = 0;
        if (!parseNumber(qtyField, &qty) || qty != std::trunc(qty) ||
            std::abs(qty) > double(std::numeric_limits<qint32>::max())) {
            ++m_report.skipped;
            problem(file, lineNumber,
                    QStringLiteral("the quantity \"%1\" is not a whole number").arg(decode(qtyField)));
            return true;
        }
        row.qty = qint32(qty);

        const QByteArrayView flagField = m_splitter.field(m_positions[Flag]);
        if (m_bse) {
            row.flag = decode(flagField);
        } else {
            double flag = 0;
            if (!parseNumber(flagField, &flag)) {
                ++m_report.skipped;
                problem(file, lineNumber,
                        QStringLiteral("the buy/sale flag \"%1\" is not a number").arg(decode(flagField)));
                return true;
            }
            row.flag = flag == 2 ? QStringLiteral("S") : QStringLiteral("B");
        }

        row.clientCode = decode(m_splitter.field(m_positions[ClientCode])).trimmed();
        row.scriptName = decode(m_splitter.field(m_positions[ScriptName])).trimmed();
        row.scriptName.remove(u'\'');
        if (!m_bse)
            row.scriptName.remove(u',');
        m_writer.add(row);
        ++m_report.staged;
        return true;
    }

private:
    void problem(const QString& file, qint64 lineNumber, const QString& what)
    {
        m_report.problems << QStringLiteral("%1, line %2: %3; the line was not staged.")
                                 .arg(file, QString::number(lineNumber), what);
    }

    bool m_bse;
    TradeLineSplitter m_splitter;
    CashTradeTable::Writer& m_writer;
    CashReadReport& m_report;
    int m_positions[kPositionCount] = {};
    int m_needed = 0;
};

CashConfirmations::CashConfirmations(DeskSession& session, CashExchange exchange)
    : m_session(session)
    , m_exchange(exchange)
{
}

QString CashConfirmations::appId() const
{
    return m_exchange == CashExchange::Bse ? QStringLiteral("BSE") : QStringLiteral("NSE");
}

QString CashConfirmations::positionsKey() const
{
    return m_exchange == CashExchange::Bse ? QStringLiteral("B") : QStringLiteral("N");
}

CashTradeTable CashConfirmations::table() const
{
    return CashTradeTable(m_session.StoreConnection(), m_exchange == CashExchange::Bse
                                                           ? CashTradeTable::Kind::Bse
                                                           : CashTradeTable::Kind::Nse);
}

void CashConfirmations::open()
{
    table().clear();
    loadPositions();
}

void CashConfirmations::loadPositions()
{
    const auto row = ColumnPositions(m_session.StoreConnection()).read(positionsKey());
    if (!row)
        throw StoreError(
            QStringLiteral("bnfconfigure has no row %1 with the column positions").arg(positionsKey()));
    for (int k = 0; k < kPositionCount; ++k) {
        const std::optional<int> position = (*row)[size_t(k)];
        if (!position || *position < 0)
            throw StoreError(
                QStringLiteral("the column position %1 of bnfconfigure row %2 is not a field number")
                    .arg(QLatin1String(kPositionNames[k]), positionsKey()));
    }
    m_positions = *row;
    m_positionsLoaded = true;
}

CashReadReport CashConfirmations::readFiles(const QStringList& files,
                                            const std::function<void(qint64 done, qint64 total)>& progress)
{
    if (!m_positionsLoaded)
        loadPositions();
    qint64 total = 0;
    for (const QString& file : files)
        total += QFileInfo(file).size();
    qint64 done = 0;

    CashReadReport report;
    const Store& store = m_session.StoreConnection();
    const CashTradeTable trades = table();
    Transaction transaction(store, Transaction::Writes::PrivateStaging);
    trades.clear();
    CashTradeTable::Writer writer(trades);
    FileReader reader(*this, writer, report);

    QByteArray buffer;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            report.problems
                << QStringLiteral("%1: the file cannot be read (%2).").arg(path, file.errorString());
            continue;
        }
        qint64 lineNumber = 0;
        bool readOn = true;
        buffer.clear();
        while (readOn) {
            const QByteArray chunk = file.read(kReadChunk);
            const bool atEnd = chunk.isEmpty();
            done += chunk.size();
            buffer += chunk;
            qsizetype start = 0;
            while (readOn) {
                qsizetype newline = buffer.indexOf('\n', start);
                if (newline < 0) {
                    if (!atEnd || start == buffer.size())
                        break;
                    newline = buffer.size();
                }
                readOn = reader.readLine(QByteArrayView(buffer).sliced(start, newline - start), path,
                                         ++lineNumber);
                start = std::min(newline + 1, buffer.size());
            }
            buffer.remove(0, start);
            if (progress)
                progress(done, total);
            if (atEnd)
                break;
        }
        // The rest of a file after a conversion error is passed over unread, but counted as done.
        if (!readOn)
            done += std::max<qint64>(0, file.size() - file.pos());
    }
    writer.flush();
    transaction.commit();
    if (progress)
        progress(total, total);
    return report;
}

QList<QStringList> CashConfirmations::stagedTrades() const
{
    return table().stagedRows();
}

QList<QStringList> CashConfirmations::summary() const
{
    const QList<ClientRow> clients = ClientTable(m_session.StoreConnection()).all();
    QSet<QString> codes;
    for (const ClientRow& client : clients)
        codes.insert(foldCode(client.code));
    QList<QStringList> rows = table().summaryRows();
    for (QStringList& row : rows) {
        const bool missing = !clients.isEmpty() && !codes.contains(foldCode(row.value(0)));
        row.prepend(missing ? QStringLiteral("Not Found") : QString());
    }
    return rows;
}

QStringList CashConfirmations::missingClientCodes() const
{
    // The codes of the staged trades rather than the whole summary: the same codes, far fewer rows.
    const QList<ClientRow> clients = ClientTable(m_session.StoreConnection()).all();
    if (clients.isEmpty())
        return {};
    QSet<QString> known;
    for (const ClientRow& client : clients)
        known.insert(foldCode(client.code));
    QStringList missing;
    for (const QString& code : table().clientCodes()) {
        if (!known.contains(foldCode(code)))
            missing << code;
    }
    return missing;
}

QList<QueueGridRow> CashConfirmations::generate(const QString& prefix) const
{
    const QString head = (m_exchange == CashExchange::Bse ? prefix.trimmed() : prefix) + u' ';

    // One ordered pass over the stored query, rather than one query per client.
    QHash<QString, QList<Fragment>> fragments;
    QString lastCode;
    QList<Fragment>* lastList = nullptr;
    table().forEachFragment([&](const QString& clientCode, const QString& mymsg) {
        if (!lastList || clientCode != lastCode) {
            lastCode = clientCode;
            lastList = &fragments[foldCode(clientCode)];
        }
        lastList->append(Fragment{lastCode, mymsg});
    });

    QList<QueueGridRow> grid;
    const QList<ClientRow> clients = ClientTable(m_session.StoreConnection()).all();
    for (const ClientRow& client : clients) {
        const auto found = fragments.constFind(foldCode(client.code));
        if (found == fragments.constEnd())
            continue;
        QString text;
        for (const Fragment& fragment : *found) {
            if (!text.isEmpty()) {
                if (text.size() + 1 + fragment.mymsg.size() <= kMaximumTextLength) {
                    text += u',' + fragment.mymsg;
                    continue;
                }
                grid << QueueGridRow{client.mobile, text};
            }
            text = head + fragment.clientCode.trimmed() + u':' + fragment.mymsg;
        }
        grid << QueueGridRow{client.mobile, text};
    }
    return grid;
}

int CashConfirmations::send(const QList<QueueGridRow>& grid)
{
    if (m_exchange == CashExchange::Bse)
        m_session.NextBatchNumber();
    QueueBatch batch(m_session);
    for (const QueueGridRow& row : grid) {
        if (!row.mobileNo.isEmpty() && !row.message.isEmpty())
            batch.AddToQueue(appId(), row.mobileNo, row.message);
    }
    return batch.send();
}
