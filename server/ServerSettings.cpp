#include "ServerSettings.h"

#include <QFile>
#include <QSettings>

namespace {

QSettings machineSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("KELVRA"),
                     QStringLiteral("QuaylinkTech"));
}

QSettings userSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kelvra"),
                     QStringLiteral("Kelvra"));
}

} // namespace

void ServerSettings::write(bool machineWide, const QString& key, const QString& value)
{
    QSettings settings = machineWide ? machineSettings() : userSettings();
    settings.setValue(key, value);
    settings.sync();
    // The key holds a password in plain text: readable by its owner only.
    QFile::setPermissions(settings.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString ServerSettings::read(bool machineWide, const QString& key, const QString& fallback)
{
    const QSettings settings = machineWide ? machineSettings() : userSettings();
    return settings.value(key, fallback).toString();
}

QString ServerSettings::userId() const
{
    return read(true, QStringLiteral("UserId"));
}

void ServerSettings::setUserId(const QString& userId)
{
    write(true, QStringLiteral("UserId"), userId);
}

QString ServerSettings::password() const
{
    return read(true, QStringLiteral("PassWord"));
}

void ServerSettings::setPassword(const QString& password)
{
    write(true, QStringLiteral("PassWord"), password);
}

bool ServerSettings::rememberIdPassword() const
{
    return read(true, QStringLiteral("Remember Id PassWord")).toInt() != 0;
}

void ServerSettings::setRememberIdPassword(bool remember)
{
    write(true, QStringLiteral("Remember Id PassWord"), remember ? QStringLiteral("1") : QStringLiteral("0"));
}

QString ServerSettings::serverNumber() const
{
    return read(false, QStringLiteral("QUAYLINK/NO"), QStringLiteral("1"));
}

void ServerSettings::setServerNumber(const QString& number)
{
    write(false, QStringLiteral("QUAYLINK/NO"), number);
}

QString ServerSettings::server9Address() const
{
    return read(false, QStringLiteral("QUAYLINK/IP"));
}

void ServerSettings::setServer9Address(const QString& address)
{
    write(false, QStringLiteral("QUAYLINK/IP"), address);
}

QString ServerSettings::serverAddress(int number) const
{
    return read(false, QStringLiteral("QUAYLINK/Server%1").arg(number));
}

ServerSettings::Proxy ServerSettings::proxy() const
{
    return {read(false, QStringLiteral("ProxySettings/Proxy"), QStringLiteral("0")) == QLatin1String("1"),
            read(false, QStringLiteral("ProxySettings/Address")),
            read(false, QStringLiteral("ProxySettings/Port")),
            read(false, QStringLiteral("ProxySettings/UserName")),
            read(false, QStringLiteral("ProxySettings/Password"))};
}

void ServerSettings::setProxyEnabled(bool enabled)
{
    write(false, QStringLiteral("ProxySettings/Proxy"), enabled ? QStringLiteral("1") : QStringLiteral("0"));
}

void ServerSettings::setProxyValue(const QString& key, const QString& value)
{
    write(false, QStringLiteral("ProxySettings/") + key, value);
}
