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
    m_store.readRows(
        QStringLiteral("SELECT MobileNo, Message FROM MessageQueue WHERE QDateTime >= ? AND QDateTime < ?"),
        {m_store.dateValue(day), m_store.dateValue(day.addDays(1))},
        [&visit](std::span<const QByteArrayView> row) {
            visit(QString::fromUtf8(row[0]), QString::fromUtf8(row[1]));
        });
}
