#pragma once

#include <QString>

class Store;

/// The one row of proxyconfig: proxy, trade-file layout, super user, folders and gateway account.
class ProxyConfigRow
{
public:
    struct Values
    {
        QString useproxy;
        QString serverip;
        int serverport = 0;
        int proxyver = 0;
        QString username;
        QString password;
        QString fileType;
        QString superUser;
        QString inpath;
        QString outpath;
        QString smsuser;
        QString smspass;
        QString kelvraip;
        QString kelvraport;
    };

    explicit ProxyConfigRow(const Store& store);

    /// Throws StoreError when the table has no row.
    Values read() const;
    /// Writes every column of the row; throws StoreError when the table has no row.
    void write(const Values& values) const;

private:
    const Store& m_store;
};
