#include "storeschema.h"

#include "common/unicodetext.h"
#include "store/storeconnection.h"

#include <QSqlQuery>

#include <array>

namespace {

using Result = StoreConnection::Result;

// "NMRX": tells our files from other SQLite databases that happen to sit at the path.
constexpr qint64 ApplicationId = 0x4E4D5258;

template <std::size_t N> Result execAll(StoreConnection &connection, const std::array<QString, N> &statements)
{
    for (const QString &statement : statements) {
        if (auto done = connection.exec(statement); !done)
            return done;
    }
    return {};
}

Result upgradeToV1(StoreConnection &connection)
{
    return execAll(connection,
                   std::array{
                       QStringLiteral("PRAGMA application_id = %1").arg(ApplicationId),
                       QStringLiteral("CREATE TABLE rename_record ("
                                      " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                                      " original_path TEXT NOT NULL, new_path TEXT NOT NULL,"
                                      " original_name TEXT NOT NULL, new_name TEXT NOT NULL,"
                                      " timestamp INTEGER, provider_used TEXT NOT NULL, confidence REAL,"
                                      " reverted INTEGER NOT NULL, reverted_at INTEGER,"
                                      " state TEXT NOT NULL CHECK (state IN ('pending', 'done')))"),
                       QStringLiteral("CREATE INDEX rename_record_by_time ON rename_record (state, timestamp)"),
                       // The analysis asks, per file, whether the history holds its path on either side.
                       QStringLiteral("CREATE INDEX rename_record_by_original ON rename_record (original_path)"),
                       QStringLiteral("CREATE INDEX rename_record_by_new ON rename_record (new_path)"),
                       QStringLiteral("CREATE TABLE naming_template ("
                                      " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                                      " name TEXT NOT NULL, pattern TEXT NOT NULL, example TEXT NOT NULL,"
                                      " is_default INTEGER NOT NULL, created_at INTEGER)"),
                       QStringLiteral("CREATE TABLE watched_folder ("
                                      " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                                      " path TEXT NOT NULL, is_active INTEGER NOT NULL, auto_rename INTEGER NOT NULL,"
                                      " template_name TEXT, added_at INTEGER)"),
                   });
}

Result upgradeToV2(StoreConnection &connection)
{
    // The history search compares lower-cased names (full Unicode case mapping, which SQLite's
    // lower() lacks); they are kept beside the names. Provider filters get their own index.
    if (auto added = execAll(
            connection,
            std::array{
                QStringLiteral("ALTER TABLE rename_record ADD COLUMN original_name_folded TEXT NOT NULL DEFAULT ''"),
                QStringLiteral("ALTER TABLE rename_record ADD COLUMN new_name_folded TEXT NOT NULL DEFAULT ''"),
                QStringLiteral(
                    "CREATE INDEX rename_record_by_provider ON rename_record (state, provider_used, timestamp)"),
            });
        !added)
        return added;
    QSqlQuery rows = connection.query();
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT id, original_name, new_name FROM rename_record")))
        return std::unexpected(connection.failure(rows.lastError()));
    QSqlQuery update = connection.query();
    update.prepare(
        QStringLiteral("UPDATE rename_record SET original_name_folded = ?, new_name_folded = ? WHERE id = ?"));
    while (rows.next()) {
        update.bindValue(0, UnicodeText::toLowerFull(rows.value(1).toString()));
        update.bindValue(1, UnicodeText::toLowerFull(rows.value(2).toString()));
        update.bindValue(2, rows.value(0));
        if (auto done = connection.exec(update); !done)
            return done;
    }
    return {};
}

Result upgradeToV3(StoreConnection &connection)
{
    // The renamed file's identity, for revert; records written before stay without one (NULL).
    for (const char *column : {"file_device", "file_inode", "file_size", "file_mtime", "file_mtime_ns"}) {
        if (auto done = connection.exec(
                QStringLiteral("ALTER TABLE rename_record ADD COLUMN %1 INTEGER").arg(QLatin1String(column)));
            !done)
            return done;
    }
    return {};
}

Result upgradeToV4(StoreConnection &connection)
{
    // The apply a record belongs to, so it can be undone as a whole. Earlier records become a
    // batch each: grouping them by time would merge applies made seconds apart.
    return execAll(connection, std::array{
                                   QStringLiteral("ALTER TABLE rename_record ADD COLUMN batch_id INTEGER"),
                                   QStringLiteral("UPDATE rename_record SET batch_id = id"),
                                   QStringLiteral("CREATE INDEX rename_record_by_batch ON rename_record (batch_id)"),
                               });
}

Result upgradeToV5(StoreConnection &connection)
{
    // The history table pages through every sort order in SQL; each needs an index that starts
    // with the state, or the first page of 100 000 records would sort them all. The reverted one
    // also serves the "reverted only" filter.
    return execAll(
        connection,
        std::array{
            QStringLiteral("CREATE INDEX rename_record_by_original_name"
                           " ON rename_record (state, original_name_folded)"),
            QStringLiteral("CREATE INDEX rename_record_by_new_name ON rename_record (state, new_name_folded)"),
            QStringLiteral("CREATE INDEX rename_record_by_reverted ON rename_record (state, reverted, timestamp)"),
        });
}

Result upgradeToV6(StoreConnection &connection)
{
    // Until when each folder was watched, so that what arrived while Namorix was not running is
    // handled at its next start; NULL: never watched, it starts from when it was added.
    return connection.exec(QStringLiteral("ALTER TABLE watched_folder ADD COLUMN watched_until INTEGER"));
}

Result upgradeToV7(StoreConnection &connection)
{
    // The language model's replies by what they answered; pruned by age and count on each write.
    return execAll(connection,
                   std::array{
                       QStringLiteral("CREATE TABLE result_cache ("
                                      " key TEXT PRIMARY KEY, reply TEXT NOT NULL, stored_at INTEGER NOT NULL)"),
                       QStringLiteral("CREATE INDEX result_cache_by_time ON result_cache (stored_at)"),
                   });
}

Result upgradeToV8(StoreConnection &connection)
{
    // What the user kept for each sender; identifiers one per line.
    return connection.exec(QStringLiteral("CREATE TABLE learned_sender ("
                                          " id INTEGER PRIMARY KEY, absender TEXT NOT NULL, kategorie TEXT,"
                                          " beschreibung TEXT NOT NULL, identifiers TEXT NOT NULL,"
                                          " learned_at INTEGER NOT NULL)"));
}

Result upgradeToV9(StoreConnection &connection)
{
    // The review list between sessions; each row as the engine serialises it.
    return connection.exec(QStringLiteral("CREATE TABLE review_row ("
                                          " id TEXT PRIMARY KEY, list_order INTEGER NOT NULL, data BLOB NOT NULL)"));
}

Result upgradeToV10(StoreConnection &connection)
{
    // An undo marks its records before their files move back, so that the start-up pass can tell
    // which went back after a crash; the few marked ones are found through a partial index. The
    // renamed file's ctime joins its identity for undo; records written before stay without it.
    return execAll(connection,
                   std::array{
                       QStringLiteral("ALTER TABLE rename_record ADD COLUMN reverting INTEGER NOT NULL DEFAULT 0"),
                       QStringLiteral("ALTER TABLE rename_record ADD COLUMN file_ctime INTEGER"),
                       QStringLiteral("ALTER TABLE rename_record ADD COLUMN file_ctime_ns INTEGER"),
                       QStringLiteral("CREATE INDEX rename_record_reverting ON rename_record (id) WHERE reverting = 1"),
                   });
}

} // namespace

std::expected<int, StoreError> StoreSchema::check(const StoreConnection &connection, Pages pages)
{
    using Code = StoreError::Code;
    const auto refused = [&connection](Code code, const QString &detail) {
        return std::unexpected(connection.failure(code, detail));
    };
    const auto version = connection.singleValue(QStringLiteral("PRAGMA user_version"));
    if (!version)
        return std::unexpected(connection.openingFailure(version.error()));
    const int stored = version->toInt();
    if (stored > Version)
        return refused(Code::newerSchema,
                       QStringLiteral("schema %1, this version knows up to %2").arg(stored).arg(Version));

    if (stored == 0) {
        const auto objects = connection.singleValue(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        if (!objects)
            return std::unexpected(connection.openingFailure(objects.error()));
        if (objects->toInt() != 0)
            return refused(Code::corrupt, QStringLiteral("unknown tables"));
        return stored;
    }
    const auto application = connection.singleValue(QStringLiteral("PRAGMA application_id"));
    if (!application)
        return std::unexpected(connection.openingFailure(application.error()));
    if (application->toLongLong() != ApplicationId)
        return refused(Code::corrupt, QStringLiteral("application_id %1").arg(application->toLongLong()));
    if (pages == Pages::trust)
        return stored;
    const auto check = connection.singleValue(QStringLiteral("PRAGMA quick_check(1)"));
    if (!check)
        return std::unexpected(connection.openingFailure(check.error()));
    if (check->toString() != u"ok")
        return refused(Code::corrupt,
                       check->toString().remove(QStringLiteral("*** in database main ***")).simplified());
    return stored;
}

std::expected<void, StoreError> StoreSchema::upgrade(StoreConnection &connection, int stored)
{
    if (stored == Version)
        return {};
    static constexpr std::array<Result (*)(StoreConnection &), Version> steps = {
        &upgradeToV1, &upgradeToV2, &upgradeToV3, &upgradeToV4, &upgradeToV5,
        &upgradeToV6, &upgradeToV7, &upgradeToV8, &upgradeToV9, &upgradeToV10};
    // In one write transaction, so a second process cannot upgrade at the same time.
    return connection.inTransaction([&connection]() -> Result {
        const auto current = connection.singleValue(QStringLiteral("PRAGMA user_version"));
        if (!current)
            return std::unexpected(connection.failure(current.error()));
        for (int from = current->toInt(); from < Version; ++from) {
            if (auto step = steps[std::size_t(from)](connection); !step)
                return step;
        }
        return connection.exec(QStringLiteral("PRAGMA user_version = %1").arg(Version));
    });
}
