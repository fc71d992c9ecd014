#include "resultcacherepository.h"

#include "store/storeconnection.h"

#include <QSqlQuery>

namespace {

qint64 oldestKept(const QDateTime &now, qint64 maxAgeDays)
{
    return now.addDays(-maxAgeDays).toMSecsSinceEpoch();
}

} // namespace

ResultCacheRepository::ResultCacheRepository(StoreConnection &connection)
    : m_connection(connection)
{
}

std::expected<std::optional<QString>, StoreError> ResultCacheRepository::find(const QString &key,
                                                                              const QDateTime &now) const
{
    QSqlQuery query = m_connection.query();
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT reply FROM result_cache WHERE key = ? AND stored_at >= ?"));
    query.addBindValue(key);
    query.addBindValue(oldestKept(now, m_bounds.maxAgeDays));
    if (auto done = m_connection.exec(query); !done)
        return std::unexpected(done.error());
    if (query.next())
        return query.value(0).toString();
    if (query.lastError().isValid())
        return std::unexpected(m_connection.failure(query.lastError()));
    return std::nullopt;
}

std::expected<void, StoreError> ResultCacheRepository::keep(const QString &key, const QString &reply,
                                                            const QDateTime &now)
{
    return m_connection.inTransaction(
        [&]() -> StoreConnection::Result {
            QSqlQuery insert = m_connection.query();
            insert.prepare(
                QStringLiteral("INSERT OR REPLACE INTO result_cache (key, reply, stored_at) VALUES (?, ?, ?)"));
            insert.addBindValue(key);
            insert.addBindValue(reply);
            insert.addBindValue(now.toMSecsSinceEpoch());
            if (auto done = m_connection.exec(insert); !done)
                return done;
            QSqlQuery expired = m_connection.query();
            expired.prepare(QStringLiteral("DELETE FROM result_cache WHERE stored_at < ?"));
            expired.addBindValue(oldestKept(now, m_bounds.maxAgeDays));
            if (auto done = m_connection.exec(expired); !done)
                return done;
            // By the index on stored_at: the newest are skipped, the rest go.
            QSqlQuery surplus = m_connection.query();
            surplus.prepare(QStringLiteral("DELETE FROM result_cache WHERE key IN (SELECT key FROM result_cache"
                                           " ORDER BY stored_at DESC, key LIMIT -1 OFFSET ?)"));
            surplus.addBindValue(m_bounds.maxEntries);
            return m_connection.exec(surplus);
        },
        StoreConnection::Sync::normal);
}

std::expected<qsizetype, StoreError> ResultCacheRepository::count() const
{
    const auto counted = m_connection.singleValue(QStringLiteral("SELECT count(*) FROM result_cache"));
    if (!counted)
        return std::unexpected(m_connection.failure(counted.error()));
    return counted->toLongLong();
}

std::expected<qsizetype, StoreError> ResultCacheRepository::clear()
{
    QSqlQuery query = m_connection.query();
    query.prepare(QStringLiteral("DELETE FROM result_cache"));
    if (auto done = m_connection.exec(query); !done)
        return std::unexpected(done.error());
    return query.numRowsAffected();
}
