#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QTextStream>

#include <memory>
#include <stdexcept>

class Store;

/// A wrong command line: reported with the usage and exit status 2.
class UsageError : public std::runtime_error
{
public:
    explicit UsageError(const QString& message)
        : std::runtime_error(message.toStdString())
    {
    }
};

/// What a command runs with: its output streams and the store it was pointed at.
class CommandContext
{
public:
    CommandContext(QTextStream& out, QTextStream& err, QString dataDirOption, QString storeOption);
    ~CommandContext();

    QTextStream& out() { return m_out; }
    QTextStream& err() { return m_err; }

    /// The application folder, for a command about to write there: created when missing; throws
    /// std::runtime_error when it cannot be.
    QString dataDir();
    /// Opens (and creates when missing) the store; throws StoreError naming the store and the reason.
    /// The application folder is made only when the store is an SQLite file kept in it.
    Store& store();

private:
    QTextStream& m_out;
    QTextStream& m_err;
    QString m_dataDirOption;
    QString m_storeOption;
    std::unique_ptr<Store> m_store;
};

/// One command of the desk program's command line; runs without any window.
class Command
{
public:
    virtual ~Command() = default;

    virtual QString name() const = 0;
    virtual QString summary() const = 0;
    /// Adds the command's own options and positional arguments.
    virtual void configure(QCommandLineParser& parser) const = 0;
    /// Runs the command; returns the exit status. Throws UsageError for a wrong command line.
    virtual int run(const QCommandLineParser& parser, CommandContext& context) = 0;
};

/// `brisant init-store`: creates the store if missing and prints where it is.
class InitStoreCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("init-store"); }
    QString summary() const override
    {
        return QStringLiteral("create the message store if missing; print where it is");
    }
    void configure(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, CommandContext& context) override;
};
