#include "QueuedTexts.h"

#include "Store.h"

QueuedTexts::QueuedTexts(const Store& store)
    : m_store(store)
{
}

void QueuedTexts::forEachOn(
    const QDate& day, const std::function<void(const QString& mobileNo, const QString& message)>& visit) const
{
    // A range of bound values rather than a formatted column, so the index on QDateTime serves it.
    QSqlQuery query = m_store.exec(
        QStringLiteral("SELECT MobileNo, Message FROM MessageQueue WHERE QDateTime >= ? AND QDateTime < ?"),
        {m_store.dateValue(day), m_store.dateValue(day.addDays(1))});
    while (query.next())
        visit(query.value(0).toString(), query.value(1).toString());
}
