#include "CashConfirmations.h"

#include "DeskSession.h"

#include <stdexcept>

CashConfirmations::CashConfirmations(DeskSession& session, CashExchange exchange)
    : m_session(session)
    , m_exchange(exchange)
{
}

QString CashConfirmations::appId() const
{
    return m_exchange == CashExchange::Bse ? QStringLiteral("BSE") : QStringLiteral("NSE");
}

QString CashConfirmations::positionsKey() const
{
    return m_exchange == CashExchange::Bse ? QStringLiteral("B") : QStringLiteral("N");
}
