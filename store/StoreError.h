#pragma once

#include <QString>

#include <stdexcept>

/// A failed store operation, carrying the store's own message.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString& message, const QString& code = {});

    QString message() const { return m_message; }
    /// The store's own error number, where it gave one.
    QString code() const { return m_code; }

private:
    QString m_message;
    QString m_code;
};
