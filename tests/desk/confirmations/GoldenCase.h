#pragma once

#include "TestEnvironment.h"
#include "TradeConfirmations.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class DeskSession;
class Store;

/// One golden folder run through the engine of its kind, on a fresh store of its own. The folder
/// holds kind, trades*.txt read in name order, clients.csv (name,mobile,code,email), optionally
/// positions (the kind's numbers, blank-separated) and prefix (the text as typed), and the expected
/// files that its test names. KELVRA_GOLDEN_UPDATE=1 writes the expected files from what the engine
/// does, to be read over before they are kept.
class GoldenCase
{
public:
    /// For a test's _data: a column "folder" and a row for every folder under root, by name.
    static void addRows(const QString& root);

    /// The folder of the current data row.
    GoldenCase();
    ~GoldenCase();

    /// Stores the folder's clients and positions, opens the engine of its kind, reads its trade files
    /// and generates the messages with its prefix. False, with a warning, when the kind is none of
    /// kinds, has no engine, or its positions cannot be stored.
    bool run(const QStringList& kinds);

    const TradeConfirmations& engine() const { return *m_engine; }
    const TradeReadReport& report() const { return m_report; }
    const QString& prefix() const { return m_prefix; }
    const QList<QueueGridRow>& grid() const { return m_grid; }

    /// The generated grid as lines: the mobile number, a tab and the text.
    QStringList messages() const;
    /// The read's conversion errors and problems, the folder's path taken out of the file names, then
    /// each staged code the client master does not hold, put into notFound.
    QStringList warnings(const QString& notFound = QStringLiteral("Not Found: %1")) const;
    /// The lines of the folder's expected file name; written from produced first under
    /// KELVRA_GOLDEN_UPDATE=1.
    QStringList expected(const QString& name, const QStringList& produced) const;

private:
    QString text(const QString& name) const;
    bool storePositions(const TradeFileKind& kind) const;

    QDir m_dir;
    TestEnvironment m_env;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<DeskSession> m_session;
    std::unique_ptr<TradeConfirmations> m_engine;
    TradeReadReport m_report;
    QString m_prefix;
    QList<QueueGridRow> m_grid;
};

/// The kind that command names on the command line; a fatal error when there is none.
const TradeFileKind& KindNamed(const QString& command);

/// Rows as lines of tab-separated fields, from column from on.
QStringList JoinedRows(const QList<QStringList>& rows, qsizetype from = 0);
