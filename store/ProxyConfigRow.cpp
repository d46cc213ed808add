#include "ProxyConfigRow.h"

#include "Store.h"

ProxyConfigRow::ProxyConfigRow(const Store& store)
    : m_store(store)
{
}

ProxyConfigRow::Values ProxyConfigRow::read() const
{
    QSqlQuery query = m_store.exec(QStringLiteral(
        "SELECT useproxy, serverip, serverport, proxyver, username, password, FileType, "
        "SuperUser, inpath, outpath, smsuser, smspass, kelvraip, kelvraport FROM proxyconfig"));
    if (!query.next())
        throw StoreError(QStringLiteral("the proxyconfig table has no row"));
    Values values;
    values.useproxy = query.value(0).toString();
    values.serverip = query.value(1).toString();
    values.serverport = query.value(2).toInt();
    values.proxyver = query.value(3).toInt();
    values.username = query.value(4).toString();
    values.password = query.value(5).toString();
    values.fileType = query.value(6).toString();
    values.superUser = query.value(7).toString();
    values.inpath = query.value(8).toString();
    values.outpath = query.value(9).toString();
    values.smsuser = query.value(10).toString();
    values.smspass = query.value(11).toString();
    values.kelvraip = query.value(12).toString();
    values.kelvraport = query.value(13).toString();
    return values;
}

void ProxyConfigRow::write(const Values& values) const
{
    QSqlQuery query = m_store.exec(
        QStringLiteral("UPDATE proxyconfig SET useproxy = ?, serverip = ?, serverport = ?, proxyver = ?, "
                       "username = ?, password = ?, FileType = ?, SuperUser = ?, inpath = ?, outpath = ?, "
                       "smsuser = ?, smspass = ?, kelvraip = ?, kelvraport = ?"),
        {values.useproxy, values.serverip, values.serverport, values.proxyver, values.username,
         values.password, values.fileType, values.superUser, values.inpath, values.outpath, values.smsuser,
         values.smspass, values.kelvraip, values.kelvraport});
    if (query.numRowsAffected() < 1)
        throw StoreError(QStringLiteral("the proxyconfig table has no row"));
}
