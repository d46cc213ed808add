#pragma once

#include <QString>

/// The dispatch server's remembered settings, kept with QSettings under $XDG_CONFIG_HOME: the
/// machine-wide key (last user id and password, the remember box) and the per-user sections
/// "QUAYLINK" (server number and addresses) and "ProxySettings".
class ServerSettings
{
public:
    // Machine-wide key KELVRA/QuaylinkTech.
    QString userId() const;
    void setUserId(const QString& userId);
    QString password() const;
    void setPassword(const QString& password);
    /// "Remember Id PassWord" read as a number; empty counts as 0.
    bool rememberIdPassword() const;
    void setRememberIdPassword(bool remember);

    // Per-user section "QUAYLINK".
    /// The saved server number as text, "1" when none is saved.
    QString serverNumber() const;
    void setServerNumber(const QString& number);
    /// The gateway address of server number 9.
    QString server9Address() const;
    void setServer9Address(const QString& address);
    /// The gateway address of server number 1 to 5 (keys "Server1" to "Server5"): deployment
    /// configuration, empty unless the installation sets it.
    QString serverAddress(int number) const;

    // Per-user section "ProxySettings".
    struct Proxy
    {
        bool enabled = false;
        QString address;
        QString port;
        QString userName;
        QString password;
    };
    Proxy proxy() const;
    void setProxyEnabled(bool enabled);
    /// key: "Address", "Port", "UserName" or "Password".
    void setProxyValue(const QString& key, const QString& value);

private:
    static void write(bool machineWide, const QString& key, const QString& value);
    static QString read(bool machineWide, const QString& key, const QString& fallback = {});
};
