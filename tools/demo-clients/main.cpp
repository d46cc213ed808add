// demo-clients --store URL FILE.csv
// Stores the clients of a comma-separated list with the header name,mobile,code,email in
// ClientMaster and prints how many were stored. A code already stored is reported and passed over.
#include "ClientTable.h"
#include "DuplicateEntryError.h"
#include "Store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

namespace {

// One line of the list; a field may be enclosed in double quotes, with "" for a quote inside.
QStringList splitCsvLine(const QString& line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Stores the clients of a list (name,mobile,code,email)."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("store"),
                      QStringLiteral("the message store: an SQLite file or a postgresql:// URL"),
                      QStringLiteral("URL")});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("the client list"));
    parser.process(app);
    if (!parser.isSet(QStringLiteral("store")) || parser.positionalArguments().size() != 1) {
        err << "usage: demo-clients --store URL FILE.csv" << Qt::endl;
        return 2;
    }

    QFile file(parser.positionalArguments().first());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        err << "demo-clients: " << file.fileName() << ": " << file.errorString() << Qt::endl;
        return 1;
    }
    try {
        StoreLocation location;
        QString error;
        if (!StoreLocation::parse(parser.value(QStringLiteral("store")), &location, &error))
            throw StoreError(error);
        const std::unique_ptr<Store> store = Store::open(location);
        const ClientTable clients(*store);

        QTextStream in(&file);
        const QStringList header = splitCsvLine(in.readLine().trimmed().toLower());
        const qsizetype name = header.indexOf(QStringLiteral("name"));
        const qsizetype mobile = header.indexOf(QStringLiteral("mobile"));
        const qsizetype code = header.indexOf(QStringLiteral("code"));
        const qsizetype email = header.indexOf(QStringLiteral("email"));
        if (name < 0 || mobile < 0 || code < 0) {
            err << "demo-clients: the first line must name the columns name,mobile,code,email" << Qt::endl;
            return 1;
        }
        int stored = 0;
        while (!in.atEnd()) {
            const QString line = in.readLine();
            if (line.trimmed().isEmpty())
                continue;
            const QStringList fields = splitCsvLine(line);
            try {
                clients.insert(ClientRow{0, fields.value(name), fields.value(mobile), fields.value(code),
                                         email < 0 ? QString() : fields.value(email)});
                ++stored;
            } catch (const DuplicateEntryError& duplicate) {
                err << "demo-clients: " << duplicate.message() << Qt::endl;
            }
        }
        out << stored << " clients stored" << Qt::endl;
    } catch (const StoreError& error) {
        err << "demo-clients: " << error.message().simplified() << Qt::endl;
        return 1;
    }
    return 0;
}
