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
    const QString dir = StoreLocation::resolveDataDir(m_dataDirOption);
    QString error;
    if (!StoreLocation::makeDataDir(dir, &error))
        throw std::runtime_error(error.toStdString());
    return dir;
}

Store& CommandContext::store()
{
    if (!m_store) {
        StoreLocation location;
        QString error;
        if (!StoreLocation::resolve(m_storeOption, StoreLocation::resolveDataDir(m_dataDirOption), &location,
                                    &error))
            throw StoreError(error);
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
