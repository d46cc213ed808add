#pragma once

#include <QString>

#include <stdexcept>

/// A failed store operation, carrying the store's own message.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString& message);

    QString message() const { return m_message; }

private:
    QString m_message;
};
