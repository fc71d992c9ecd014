#include "senderrepository.h"

#include "store/storeconnection.h"

#include <QSqlQuery>

namespace {

// Identifiers never hold a line feed: they are normalised tokens ("vat:DE123456789").
QString joined(const QStringList &identifiers)
{
    return identifiers.join(u'\n');
}

QStringList split(const QString &identifiers)
{
    return identifiers.split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

SenderRepository::SenderRepository(StoreConnection &connection)
    : m_connection(connection)
{
}

std::expected<void, StoreError> SenderRepository::learn(const LearnedSender &sender, const QDateTime &now)
{
    if (sender.absender.trimmed().isEmpty() || sender.identifiers.isEmpty())
        return {};
    return m_connection.inTransaction([&]() -> StoreConnection::Result {
        QSqlQuery rows = m_connection.query();
        rows.setForwardOnly(true);
        rows.prepare(QStringLiteral("SELECT id, identifiers FROM learned_sender"));
        if (auto done = m_connection.exec(rows); !done)
            return done;
        QList<qint64> same;
        QStringList identifiers = sender.identifiers;
        while (rows.next()) {
            const QStringList known = split(rows.value(1).toString());
            if (std::ranges::any_of(known, [&](const QString &id) { return sender.identifiers.contains(id); })) {
                same << rows.value(0).toLongLong();
                for (const QString &id : known) {
                    if (!identifiers.contains(id))
                        identifiers << id;
                }
            }
        }
        for (const qint64 id : same) {
            QSqlQuery remove = m_connection.query();
            remove.prepare(QStringLiteral("DELETE FROM learned_sender WHERE id = ?"));
            remove.addBindValue(id);
            if (auto done = m_connection.exec(remove); !done)
                return done;
        }
        QSqlQuery insert = m_connection.query();
        insert.prepare(QStringLiteral("INSERT INTO learned_sender (absender, kategorie, beschreibung, identifiers,"
                                      " learned_at) VALUES (?, ?, ?, ?, ?)"));
        insert.addBindValue(sender.absender);
        insert.addBindValue(sender.kategorie ? QVariant(*sender.kategorie) : QVariant(QMetaType(QMetaType::QString)));
        insert.addBindValue(sender.beschreibung);
        insert.addBindValue(joined(identifiers));
        insert.addBindValue(now.toMSecsSinceEpoch());
        if (auto done = m_connection.exec(insert); !done)
            return done;
        QSqlQuery surplus = m_connection.query();
        surplus.prepare(QStringLiteral("DELETE FROM learned_sender WHERE id IN (SELECT id FROM learned_sender"
                                       " ORDER BY learned_at DESC, id DESC LIMIT -1 OFFSET ?)"));
        surplus.addBindValue(MaxSenders);
        return m_connection.exec(surplus);
    });
}

std::expected<QList<LearnedSender>, StoreError> SenderRepository::fetchAll() const
{
    QSqlQuery query = m_connection.query();
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT absender, kategorie, beschreibung, identifiers FROM learned_sender"
                                 " ORDER BY learned_at DESC, id DESC"));
    if (auto done = m_connection.exec(query); !done)
        return std::unexpected(done.error());
    QList<LearnedSender> senders;
    while (query.next()) {
        LearnedSender sender;
        sender.absender = query.value(0).toString();
        if (!query.value(1).isNull())
            sender.kategorie = query.value(1).toString();
        sender.beschreibung = query.value(2).toString();
        sender.identifiers = split(query.value(3).toString());
        senders << sender;
    }
    if (query.lastError().isValid())
        return std::unexpected(m_connection.failure(query.lastError()));
    return senders;
}

std::expected<qsizetype, StoreError> SenderRepository::clear()
{
    QSqlQuery query = m_connection.query();
    query.prepare(QStringLiteral("DELETE FROM learned_sender"));
    if (auto done = m_connection.exec(query); !done)
        return std::unexpected(done.error());
    return query.numRowsAffected();
}
