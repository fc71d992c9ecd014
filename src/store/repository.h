#pragma once

#include "store/storeconnection.h"
#include "store/storeerror.h"
#include "store/storevalues.h"

#include <QList>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>

#include <expected>
#include <functional>

/**
 * How objects of type T are kept: specialised in the .cpp of T's repository with name(), order()
 * of a full fetch, writtenColumns() and writtenValues(value) that insert and save write after the
 * id, and readColumns() that a fetch selects after the id, read back by fromRow(query).
 */
template <typename T> struct Table;

/**
 * What every kind of stored object offers: insert, save, remove, and fetch by id or in the table's
 * order. Each write that changes what the fetches return calls `changed`.
 */
template <typename T> class Repository final
{
public:
    Repository(StoreConnection &connection, std::function<void()> changed);
    Q_DISABLE_COPY_MOVE(Repository)

    [[nodiscard]] std::expected<qint64, StoreError> insert(const T &value);
    /** Writes every written column over the stored object with that id. */
    [[nodiscard]] std::expected<void, StoreError> save(const T &value);
    [[nodiscard]] std::expected<void, StoreError> remove(qint64 id);
    [[nodiscard]] std::expected<QList<T>, StoreError> fetchAll() const;
    [[nodiscard]] std::expected<T, StoreError> fetch(qint64 id) const;
    /** Those `where` selects (`bound` fills its placeholders) in `order` (empty: the table's), then `page`. */
    [[nodiscard]] std::expected<QList<T>, StoreError> fetch(const QString &where, const QVariantList &bound = {},
                                                            const QString &page = {}, const QString &order = {}) const;

    /** INSERT of the written columns and then `extra` ones, bound by position. */
    [[nodiscard]] static QString insertStatement(const QStringList &extra = {});

private:
    StoreConnection &m_connection;
    const std::function<void()> m_changed;
};

template <typename T>
Repository<T>::Repository(StoreConnection &connection, std::function<void()> changed)
    : m_connection(connection)
    , m_changed(std::move(changed))
{
}

template <typename T> QString Repository<T>::insertStatement(const QStringList &extra)
{
    const QStringList columns = Table<T>::writtenColumns() + extra;
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(Table<T>::name(), columns.join(u", "), StoreValues::placeholders(columns.size()));
}

template <typename T> std::expected<qint64, StoreError> Repository<T>::insert(const T &value)
{
    QSqlQuery query = m_connection.query();
    query.prepare(insertStatement());
    const auto id = m_connection.insert(query, Table<T>::writtenValues(value));
    if (id)
        m_changed();
    return id;
}

template <typename T> std::expected<void, StoreError> Repository<T>::save(const T &value)
{
    QSqlQuery query = m_connection.query();
    query.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE id = ?")
                      .arg(Table<T>::name(), Table<T>::writtenColumns().join(u" = ?, ")));
    for (const QVariant &bound : Table<T>::writtenValues(value))
        query.addBindValue(bound);
    query.addBindValue(value.id);
    if (auto done = m_connection.exec(query); !done)
        return done;
    if (query.numRowsAffected() == 0)
        return std::unexpected(StoreConnection::notFound(value.id));
    m_changed();
    return {};
}

template <typename T> std::expected<void, StoreError> Repository<T>::remove(qint64 id)
{
    QSqlQuery query = m_connection.query();
    query.prepare(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(Table<T>::name()));
    query.addBindValue(id);
    if (auto done = m_connection.exec(query); !done)
        return done;
    if (query.numRowsAffected() == 0)
        return std::unexpected(StoreConnection::notFound(id));
    m_changed();
    return {};
}

template <typename T> std::expected<QList<T>, StoreError> Repository<T>::fetchAll() const
{
    return fetch(QStringLiteral("1"));
}

template <typename T> std::expected<T, StoreError> Repository<T>::fetch(qint64 id) const
{
    auto rows = fetch(QStringLiteral("id = ?"), {id});
    if (!rows)
        return std::unexpected(rows.error());
    if (rows->isEmpty())
        return std::unexpected(StoreConnection::notFound(id));
    return rows->first();
}

template <typename T>
std::expected<QList<T>, StoreError> Repository<T>::fetch(const QString &where, const QVariantList &bound,
                                                         const QString &page, const QString &order) const
{
    QSqlQuery query = m_connection.query();
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, %1 FROM %2 WHERE %3 ORDER BY %4%5")
                      .arg(Table<T>::readColumns().join(u", "), Table<T>::name(), where,
                           order.isEmpty() ? Table<T>::order() : order, page));
    for (const QVariant &value : bound)
        query.addBindValue(value);
    if (auto done = m_connection.exec(query); !done)
        return std::unexpected(done.error());
    QList<T> rows;
    while (query.next())
        rows.append(Table<T>::fromRow(query));
    if (query.lastError().isValid())
        return std::unexpected(m_connection.failure(query.lastError()));
    return rows;
}
