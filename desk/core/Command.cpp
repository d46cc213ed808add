#include "Command.h"

#include "Store.h"

CommandContext::CommandContext(QTextStream& out, QTextStream& err, QString dataDirOption, QString storeOption)
    : m_out(out)
    , m_err(err)
    , m_dataDirOption(std::move(dataDirOption))
    , m_storeOption(std::move(storeOption))
{
}

CommandContext::~CommandContext() = default;

QString CommandContext::dataDir()
{
    if (m_dataDir.isEmpty()) {
        QString error;
        m_dataDir = StoreLocation::resolveDataDir(m_dataDirOption, &error);
        if (m_dataDir.isEmpty())
            throw std::runtime_error(error.toStdString());
    }
    return m_dataDir;
}

Store& CommandContext::store()
{
    if (!m_store) {
        const QString url = StoreLocation::resolveStoreUrl(m_storeOption, dataDir());
        StoreLocation location;
        QString error;
        if (!StoreLocation::parse(url, &location, &error))
            throw StoreError(QStringLiteral("cannot open the message store: %1").arg(error));
        m_store = Store::open(location);
    }
    return *m_store;
}

void InitStoreCommand::configure(QCommandLineParser& parser) const
{
    parser.setApplicationDescription(summary());
}

int InitStoreCommand::run(const QCommandLineParser& parser, CommandContext& context)
{
    if (!parser.positionalArguments().isEmpty())
        throw UsageError(QStringLiteral("init-store takes no arguments"));
    Store& store = context.store();
    context.out() << store.location().displayName() << Qt::endl;
    return 0;
}
