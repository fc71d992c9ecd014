#include "historyrepository.h"

#include "common/unicodetext.h"
#include "store/repository.h"

#include <cmath>

using namespace StoreValues;
using State = RenameRecord::State;

namespace {

QStringList fieldColumns()
{
    return {QStringLiteral("original_path"), QStringLiteral("new_path"),      QStringLiteral("original_name"),
            QStringLiteral("new_name"),      QStringLiteral("timestamp"),     QStringLiteral("provider_used"),
            QStringLiteral("confidence"),    QStringLiteral("reverted"),      QStringLiteral("reverted_at"),
            QStringLiteral("file_device"),   QStringLiteral("file_inode"),    QStringLiteral("file_size"),
            QStringLiteral("file_mtime"),    QStringLiteral("file_mtime_ns"), QStringLiteral("file_ctime"),
            QStringLiteral("file_ctime_ns")};
}

// Device and inode numbers are unsigned 64-bit; SQLite keeps their bits in its signed integers.
QVariantList identityValues(const std::optional<FileChecks::Identity> &identity)
{
    if (!identity)
        return QVariantList(5);
    return {qint64(identity->device), qint64(identity->inode), qint64(identity->size), identity->modifiedSeconds,
            identity->modifiedNanoseconds};
}

QVariantList timeValues(const std::optional<RenameRecord::FileTime> &time)
{
    return time ? QVariantList{time->seconds, time->nanoseconds} : QVariantList(2);
}

std::optional<FileChecks::Identity> identityAt(const QSqlQuery &query, int first)
{
    if (query.isNull(first + 1))
        return std::nullopt;
    const auto at = [&](int column) { return query.value(first + column).toLongLong(); };
    return FileChecks::Identity{dev_t(at(0)), ino_t(at(1)), off_t(at(2)), at(3), at(4)};
}

QString stateText(State state)
{
    return state == State::pending ? QStringLiteral("pending") : QStringLiteral("done");
}

} // namespace

// Insert and save write the fields and the names folded for the search; the state and the batch
// only insert writes, and fetches read them after the fields.
template <> struct Table<RenameRecord> {
    static QString name() { return QStringLiteral("rename_record"); }
    static QString order() { return QStringLiteral("timestamp DESC, id DESC"); }
    static QStringList writtenColumns()
    {
        return fieldColumns() << QStringLiteral("original_name_folded") << QStringLiteral("new_name_folded");
    }
    static QStringList readColumns() { return fieldColumns() << QStringLiteral("state") << QStringLiteral("batch_id"); }
    static QVariantList writtenValues(const RenameRecord &r)
    {
        // SQLite stores NaN as NULL; fromRow() turns NULL back into NaN.
        QVariantList values{text(r.originalPath),
                            text(r.newPath),
                            text(r.originalName),
                            text(r.newName),
                            moment(r.timestamp),
                            text(r.providerUsed),
                            std::isnan(r.confidence) ? QVariant() : QVariant(r.confidence),
                            int(r.reverted),
                            r.revertedAt ? moment(*r.revertedAt) : QVariant()};
        return values << identityValues(r.identity) << timeValues(r.changedAt)
                      << UnicodeText::toLowerFull(r.originalName) << UnicodeText::toLowerFull(r.newName);
    }
    static RenameRecord fromRow(const QSqlQuery &q)
    {
        RenameRecord r;
        r.id = q.value(0).toLongLong();
        r.originalPath = q.value(1).toString();
        r.newPath = q.value(2).toString();
        r.originalName = q.value(3).toString();
        r.newName = q.value(4).toString();
        r.timestamp = momentAt(q, 5);
        r.providerUsed = q.value(6).toString();
        r.confidence = q.isNull(7) ? std::nan("") : q.value(7).toDouble();
        r.reverted = q.value(8).toLongLong() != 0;
        if (!q.isNull(9))
            r.revertedAt = momentAt(q, 9);
        r.identity = identityAt(q, 10);
        if (!q.isNull(15))
            r.changedAt = RenameRecord::FileTime{q.value(15).toLongLong(), q.value(16).toLongLong()};
        r.state = q.value(17).toString() == u"pending" ? State::pending : State::done;
        r.batch = q.value(18).toLongLong();
        return r;
    }
};

HistoryRepository::HistoryRepository(StoreConnection &connection, std::function<void()> changed)
    : m_connection(connection)
    , m_changed(changed)
    , m_rows(std::make_unique<Repository<RenameRecord>>(connection, std::move(changed)))
{
}

HistoryRepository::~HistoryRepository() = default;

std::expected<QList<qint64>, StoreError> HistoryRepository::insert(const QList<RenameRecord> &records)
{
    return insertRecords(records, State::done);
}

std::expected<QList<qint64>, StoreError> HistoryRepository::insertPending(const QList<RenameRecord> &records)
{
    return insertRecords(records, State::pending);
}

std::expected<QList<qint64>, StoreError> HistoryRepository::insertRecords(const QList<RenameRecord> &records,
                                                                          State state)
{
    QList<qint64> ids;
    const auto inserted = m_connection.inTransaction([&]() -> StoreConnection::Result {
        // The batch is named by its first record, whose id is known only once it is written.
        // AUTOINCREMENT never hands out an id twice, so neither is a batch id.
        QSqlQuery query = m_connection.query();
        query.prepare(Repository<RenameRecord>::insertStatement({QStringLiteral("state"), QStringLiteral("batch_id")}));
        for (const RenameRecord &record : records) {
            const QVariant batch = ids.isEmpty() ? QVariant() : QVariant(ids.first());
            const auto id =
                m_connection.insert(query, Table<RenameRecord>::writtenValues(record) << stateText(state) << batch);
            if (!id)
                return std::unexpected(id.error());
            ids << *id;
        }
        if (ids.isEmpty())
            return {};
        QSqlQuery naming = m_connection.query();
        naming.prepare(QStringLiteral("UPDATE rename_record SET batch_id = id WHERE id = ?"));
        naming.addBindValue(ids.first());
        return m_connection.exec(naming);
    });
    if (!inserted)
        return std::unexpected(inserted.error());
    if (state == State::done && !ids.isEmpty())
        m_changed();
    return ids;
}

std::expected<qint64, StoreError> HistoryRepository::replacePending(qint64 id, const RenameRecord &record)
{
    qint64 replacement = 0;
    const auto replaced = m_connection.inTransaction([&]() -> StoreConnection::Result {
        QSqlQuery removal = m_connection.query();
        removal.prepare(QStringLiteral("DELETE FROM rename_record WHERE id = ? AND state = 'pending'"));
        removal.addBindValue(id);
        if (auto done = m_connection.exec(removal); !done)
            return done;
        QSqlQuery insertion = m_connection.query();
        insertion.prepare(
            Repository<RenameRecord>::insertStatement({QStringLiteral("state"), QStringLiteral("batch_id")}));
        const auto inserted = m_connection.insert(insertion, Table<RenameRecord>::writtenValues(record)
                                                                 << stateText(State::pending) << record.batch);
        if (!inserted)
            return std::unexpected(inserted.error());
        replacement = *inserted;
        return {};
    });
    return replaced ? std::expected<qint64, StoreError>(replacement) : std::unexpected(replaced.error());
}

namespace {

// IN lists of a few hundred ids: a statement per id costs more in Qt than in SQLite.
constexpr qsizetype IdChunk = 500;

/** Runs `statement` (its %1 an IN list, after the values `leading`) over `ids` a chunk at a time; the rows changed. */
std::expected<int, StoreError> forEachChunk(const StoreConnection &connection, const QString &statement,
                                            const QList<qint64> &ids, const QVariantList &leading = {})
{
    int affected = 0;
    for (qsizetype start = 0; start < ids.size(); start += IdChunk) {
        const QList<qint64> chunk = ids.mid(start, IdChunk);
        QSqlQuery query = connection.query();
        query.prepare(statement.arg(placeholders(chunk.size())));
        for (const QVariant &value : leading)
            query.addBindValue(value);
        for (const qint64 id : chunk)
            query.addBindValue(id);
        if (auto done = connection.exec(query); !done)
            return std::unexpected(done.error());
        affected += query.numRowsAffected();
    }
    return affected;
}

/** Makes pending `records` done with their identity and change time, five hundred rows per statement; how many. */
std::expected<int, StoreError> confirmFound(const StoreConnection &connection, const QList<RenameRecord> &records)
{
    int confirmed = 0;
    // Integers written into the statement: binding eight values a row cost Qt more than SQLite
    // took for the whole update.
    const auto number = [](const QVariant &value) {
        return value.isNull() ? QStringLiteral("NULL") : QString::number(value.toLongLong());
    };
    for (qsizetype start = 0; start < records.size(); start += IdChunk) {
        QStringList rows;
        for (const RenameRecord &record : records.mid(start, IdChunk)) {
            QStringList values{QString::number(record.id)};
            for (const QVariant &value : identityValues(record.identity) + timeValues(record.changedAt))
                values << number(value);
            rows << u'(' + values.join(u',') + u')';
        }
        QSqlQuery query = connection.query();
        query.prepare(QStringLiteral("UPDATE rename_record SET state = 'done',"
                                     " file_device = v.column2, file_inode = v.column3,"
                                     " file_size = v.column4, file_mtime = v.column5, file_mtime_ns = v.column6,"
                                     " file_ctime = v.column7, file_ctime_ns = v.column8"
                                     " FROM (VALUES %1) AS v WHERE rename_record.id = v.column1"
                                     " AND rename_record.state = 'pending'")
                          .arg(rows.join(u',')));
        if (auto done = connection.exec(query); !done)
            return std::unexpected(done.error());
        confirmed += query.numRowsAffected();
    }
    return confirmed;
}

} // namespace

std::expected<int, StoreError> HistoryRepository::finishPending(const QList<qint64> &moved,
                                                                const QList<qint64> &abandoned,
                                                                const QList<RenameRecord> &found)
{
    int confirmed = 0;
    // The pending records are durable already, and a confirmation or removal lost to a power
    // failure is redone by the start-up pass (it looks at the files): this commit need not wait
    // for the disk. Every other write stays fully synchronous.
    const auto work = [&]() -> StoreConnection::Result {
        const auto written = confirmFound(m_connection, found);
        if (!written)
            return std::unexpected(written.error());
        const auto each = [&](const QString &statement, const QList<qint64> &ids) {
            return forEachChunk(m_connection, statement, ids);
        };
        const auto done = each(
            QStringLiteral("UPDATE rename_record SET state = 'done' WHERE state = 'pending' AND id IN (%1)"), moved);
        if (!done)
            return std::unexpected(done.error());
        confirmed = *written + *done;
        const auto removed =
            each(QStringLiteral("DELETE FROM rename_record WHERE state = 'pending' AND id IN (%1)"), abandoned);
        return removed ? StoreConnection::Result() : std::unexpected(removed.error());
    };
    if (auto finished = m_connection.inTransaction(work, StoreConnection::Sync::normal); !finished)
        return std::unexpected(finished.error());
    if (confirmed > 0)
        m_changed();
    return confirmed;
}

std::expected<void, StoreError> HistoryRepository::confirm(qint64 id)
{
    const auto confirmed = finishPending({id}, {});
    if (!confirmed)
        return std::unexpected(confirmed.error());
    // Confirming twice is harmless; confirming a removed record is the caller's bug.
    if (*confirmed == 0) {
        if (auto existing = fetch(id); !existing)
            return std::unexpected(existing.error());
    }
    return {};
}

std::expected<HistoryRepository::Settlement, StoreError>
HistoryRepository::settlePending(const std::function<bool(const RenameRecord &)> &fileIsAtNewPath)
{
    const auto pending = m_rows->fetch(QStringLiteral("state = 'pending'"));
    if (!pending)
        return std::unexpected(pending.error());
    if (pending->isEmpty())
        return Settlement{};

    Settlement settlement;
    const auto settled = m_connection.inTransaction([&]() -> StoreConnection::Result {
        for (const RenameRecord &record : *pending) {
            const bool moved = fileIsAtNewPath(record);
            QSqlQuery query = m_connection.query();
            query.prepare(moved ? QStringLiteral("UPDATE rename_record SET state = 'done' WHERE id = ?")
                                : QStringLiteral("DELETE FROM rename_record WHERE id = ?"));
            query.addBindValue(record.id);
            if (auto done = m_connection.exec(query); !done)
                return done;
            ++(moved ? settlement.confirmed : settlement.removed);
        }
        return {};
    });
    if (!settled)
        return std::unexpected(settled.error());
    if (settlement.confirmed > 0)
        m_changed();
    return settlement;
}

std::expected<void, StoreError> HistoryRepository::save(const RenameRecord &record)
{
    return m_rows->save(record);
}

std::expected<QSet<qint64>, StoreError> HistoryRepository::beginRevert(const QList<qint64> &ids)
{
    QSet<qint64> marked;
    const auto begun = m_connection.inTransaction([&]() -> StoreConnection::Result {
        for (qsizetype start = 0; start < ids.size(); start += IdChunk) {
            const QList<qint64> chunk = ids.mid(start, IdChunk);
            QSqlQuery query = m_connection.query();
            query.prepare(QStringLiteral("UPDATE rename_record SET reverting = 1 WHERE state = 'done' AND reverted = 0"
                                         " AND id IN (%1) RETURNING id")
                              .arg(placeholders(chunk.size())));
            for (const qint64 id : chunk)
                query.addBindValue(id);
            if (auto done = m_connection.exec(query); !done)
                return done;
            while (query.next())
                marked.insert(query.value(0).toLongLong());
        }
        return {};
    });
    if (!begun)
        return std::unexpected(begun.error());
    return marked;
}

std::expected<void, StoreError> HistoryRepository::finishRevert(const QList<qint64> &reverted,
                                                                const QList<qint64> &released, const QDateTime &at)
{
    // Like finishPending: the marks are durable, and the start-up pass redoes a finish a power
    // failure lost by looking at the files.
    const auto work = [&]() -> StoreConnection::Result {
        const auto back = forEachChunk(
            m_connection,
            QStringLiteral("UPDATE rename_record SET reverted = 1, reverted_at = ?, reverting = 0 WHERE id IN (%1)"),
            reverted, {moment(at)});
        if (!back)
            return std::unexpected(back.error());
        const auto kept = forEachChunk(
            m_connection, QStringLiteral("UPDATE rename_record SET reverting = 0 WHERE id IN (%1)"), released);
        return kept ? StoreConnection::Result() : std::unexpected(kept.error());
    };
    if (reverted.isEmpty() && released.isEmpty())
        return {};
    if (auto finished = m_connection.inTransaction(work, StoreConnection::Sync::normal); !finished)
        return finished;
    if (!reverted.isEmpty())
        m_changed();
    return {};
}

std::expected<HistoryRepository::Settlement, StoreError>
HistoryRepository::settleReverts(const std::function<bool(const RenameRecord &)> &fileIsBack)
{
    const auto marked = m_rows->fetch(QStringLiteral("reverting = 1"));
    if (!marked)
        return std::unexpected(marked.error());
    Settlement settlement;
    QList<qint64> back, notBack;
    for (const RenameRecord &record : *marked)
        (fileIsBack(record) ? back : notBack) << record.id;
    settlement.reverted = int(back.size());
    settlement.notReverted = int(notBack.size());
    if (auto finished = finishRevert(back, notBack, QDateTime::currentDateTimeUtc()); !finished)
        return std::unexpected(finished.error());
    return settlement;
}

std::expected<void, StoreError> HistoryRepository::remove(qint64 id)
{
    return m_rows->remove(id);
}

std::expected<void, StoreError> HistoryRepository::removeAll()
{
    if (auto done = m_connection.exec(QStringLiteral("DELETE FROM rename_record WHERE state = 'done'")); !done)
        return done;
    m_changed();
    return {};
}

std::expected<RenameRecord, StoreError> HistoryRepository::fetch(qint64 id) const
{
    return m_rows->fetch(id);
}

namespace {

/** The WHERE clause of `filter` (done records only); its values go to `bound`. */
QString conditionsOf(const RecordQuery &filter, QVariantList &bound)
{
    // Newest first through the (state, timestamp) index, whose entries end in the id, so a
    // limit reads only the rows it returns (plus those a filter skips).
    QStringList conditions{QStringLiteral("state = 'done'")};
    if (filter.search) {
        conditions << QStringLiteral("(instr(original_name_folded, ?) > 0 OR instr(new_name_folded, ?) > 0)");
        const QString needle = UnicodeText::toLowerFull(*filter.search);
        bound << needle << needle;
    }
    const auto add = [&](const QString &condition, const QVariant &value) {
        conditions << condition;
        bound << value;
    };
    if (filter.provider)
        add(QStringLiteral("provider_used = ?"), text(*filter.provider));
    // A record without a time counts as earlier than any bound.
    if (filter.from)
        add(QStringLiteral("timestamp >= ?"), moment(*filter.from));
    if (filter.to)
        add(QStringLiteral("(timestamp IS NULL OR timestamp <= ?)"), moment(*filter.to));
    if (filter.reverted)
        add(QStringLiteral("reverted = ?"), int(*filter.reverted));
    // Without statistics SQLite would walk the time index to spare the sort; "+" rules it out.
    if (filter.newPath || filter.batch)
        conditions.first() = QStringLiteral("+state = 'done'");
    if (filter.newPath)
        add(QStringLiteral("new_path = ?"), text(*filter.newPath));
    if (filter.batch)
        add(QStringLiteral("batch_id = ?"), *filter.batch);
    return conditions.join(QStringLiteral(" AND "));
}

/** Each order walks an index whose entries start with the state (schema 5); the id makes it total, so pages never
 * overlap. */
QString orderOf(const RecordQuery &filter)
{
    using Order = RecordQuery::Order;
    QString keys;
    switch (filter.order) {
    case Order::time:
        keys = QStringLiteral("timestamp %1, id %1");
        break;
    case Order::originalName:
        keys = QStringLiteral("original_name_folded %1, id %1");
        break;
    case Order::newName:
        keys = QStringLiteral("new_name_folded %1, id %1");
        break;
    case Order::provider:
        keys = QStringLiteral("provider_used %1, timestamp %1, id %1");
        break;
    case Order::reverted:
        keys = QStringLiteral("reverted %1, timestamp %1, id %1");
        break;
    }
    return keys.arg(filter.ascending ? QStringLiteral("ASC") : QStringLiteral("DESC"));
}

} // namespace

std::expected<QList<RenameRecord>, StoreError> HistoryRepository::fetch(const RecordQuery &filter) const
{
    QVariantList bound;
    const QString where = conditionsOf(filter, bound);
    const QString page = QStringLiteral(" LIMIT %1 OFFSET %2")
                             .arg(std::max<qsizetype>(filter.limit, -1))
                             .arg(std::max<qsizetype>(filter.offset, 0));
    return m_rows->fetch(where, bound, page, orderOf(filter));
}

std::expected<HistoryRepository::Count, StoreError> HistoryRepository::count(const RecordQuery &filter) const
{
    // The whole history, or its reverted part: a bare count(*) counts a b-tree's pages, not its
    // entries (0.2 ms instead of 13 at 100 000 records), less the few pending records, and the
    // reverted ones are an index range. The status bar and the history list ask for this often.
    if (!filter.search && !filter.provider && !filter.from && !filter.to && !filter.newPath && !filter.batch) {
        QSqlQuery query = m_connection.query();
        query.prepare(QStringLiteral("SELECT (SELECT count(*) FROM rename_record)"
                                     " - (SELECT count(*) FROM rename_record WHERE state = 'pending'),"
                                     " (SELECT count(*) FROM rename_record WHERE state = 'done' AND reverted = 1)"));
        if (auto done = m_connection.exec(query); !done)
            return std::unexpected(done.error());
        if (!query.next())
            return std::unexpected(m_connection.failure(query.lastError()));
        const qsizetype all = query.value(0).toLongLong(), reverted = query.value(1).toLongLong();
        if (!filter.reverted)
            return Count{all, all - reverted};
        return *filter.reverted ? Count{reverted, 0} : Count{all - reverted, all - reverted};
    }
    QVariantList bound;
    const QString where = conditionsOf(filter, bound);
    QSqlQuery query = m_connection.query();
    query.prepare(
        QStringLiteral("SELECT count(*), coalesce(sum(reverted = 0), 0) FROM rename_record WHERE %1").arg(where));
    for (const QVariant &value : bound)
        query.addBindValue(value);
    if (auto done = m_connection.exec(query); !done)
        return std::unexpected(done.error());
    if (!query.next())
        return std::unexpected(m_connection.failure(query.lastError()));
    return Count{query.value(0).toLongLong(), query.value(1).toLongLong()};
}

std::expected<std::optional<HistoryRepository::Batch>, StoreError> HistoryRepository::lastBatch() const
{
    QSqlQuery query = m_connection.query();
    query.prepare(QStringLiteral("SELECT newest.batch_id, (SELECT count(*) FROM rename_record AS other"
                                 "   WHERE other.batch_id = newest.batch_id AND other.state = 'done'"
                                 "   AND other.reverted = 0)"
                                 " FROM rename_record AS newest WHERE state = 'done' AND reverted = 0"
                                 " ORDER BY timestamp DESC, id DESC LIMIT 1"));
    if (auto done = m_connection.exec(query); !done)
        return std::unexpected(done.error());
    if (!query.next())
        return std::nullopt;
    return Batch{query.value(0).toLongLong(), query.value(1).toInt()};
}

std::expected<QSet<QString>, StoreError> HistoryRepository::pathsInHistory(const QStringList &paths) const
{
    // A few statements with IN lists instead of one per path: both columns are indexed, and a
    // watched folder asks about hundreds of paths at once.
    constexpr qsizetype Chunk = 200;
    QSet<QString> found;
    for (qsizetype start = 0; start < paths.size(); start += Chunk) {
        const QStringList chunk = paths.mid(start, Chunk);
        QSqlQuery query = m_connection.query();
        query.prepare(QStringLiteral("SELECT original_path, new_path FROM rename_record WHERE state = 'done'"
                                     " AND reverted = 0 AND (original_path IN (%1) OR new_path IN (%1))")
                          .arg(placeholders(chunk.size())));
        for (int pass = 0; pass < 2; ++pass) {
            for (const QString &path : chunk)
                query.addBindValue(path);
        }
        if (auto done = m_connection.exec(query); !done)
            return std::unexpected(done.error());
        const QSet<QString> asked(chunk.begin(), chunk.end());
        while (query.next()) {
            for (int column = 0; column < 2; ++column) {
                const QString path = query.value(column).toString();
                if (asked.contains(path))
                    found.insert(path);
            }
        }
    }
    return found;
}
