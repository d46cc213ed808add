#include "StoreError.h"

StoreError::StoreError(const QString& message, const QString& code)
    : std::runtime_error(message.toStdString())
    , m_message(message)
    , m_code(code)
{
}
