#include "reviewrepository.h"

#include "store/storeconnection.h"

#include <QSqlQuery>

ReviewRepository::ReviewRepository(StoreConnection &connection)
    : m_connection(connection)
{
}

std::expected<void, StoreError> ReviewRepository::keep(const QList<ReviewRow> &changed, const QStringList &removed)
{
    if (changed.isEmpty() && removed.isEmpty())
        return {};
    return m_connection.inTransaction([&]() -> StoreConnection::Result {
        QSqlQuery remove = m_connection.query();
        remove.prepare(QStringLiteral("DELETE FROM review_row WHERE id = ?"));
        for (const QString &id : removed) {
            remove.bindValue(0, id);
            if (auto done = m_connection.exec(remove); !done)
                return done;
        }
        QSqlQuery write = m_connection.query();
        write.prepare(QStringLiteral("INSERT INTO review_row (id, list_order, data) VALUES (?, ?, ?)"
                                     " ON CONFLICT (id) DO UPDATE SET list_order = excluded.list_order,"
                                     " data = excluded.data"));
        for (const ReviewRow &row : changed) {
            write.bindValue(0, row.id);
            write.bindValue(1, row.order);
            write.bindValue(2, row.data);
            if (auto done = m_connection.exec(write); !done)
                return done;
        }
        return {};
    });
}

std::expected<QList<ReviewRow>, StoreError> ReviewRepository::fetchAll() const
{
    QSqlQuery query = m_connection.query();
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, list_order, data FROM review_row ORDER BY list_order, id"));
    if (auto done = m_connection.exec(query); !done)
        return std::unexpected(done.error());
    QList<ReviewRow> rows;
    while (query.next())
        rows.append({query.value(0).toString(), query.value(1).toLongLong(), query.value(2).toByteArray()});
    if (query.lastError().isValid())
        return std::unexpected(m_connection.failure(query.lastError()));
    return rows;
}
