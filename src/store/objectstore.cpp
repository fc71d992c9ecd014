#include "objectstore.h"

#include "common/unicodetext.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <array>
#include <atomic>
#include <cmath>
#include <type_traits>

namespace {

using State = RenameRecord::State;

// "NMRX": tells our files from other SQLite databases that happen to sit at the path.
constexpr qint64 ApplicationId = 0x4E4D5258;
// SQLite result codes that mean the file's content, not its access, is the problem.
constexpr int SqliteCorrupt = 11;
constexpr int SqliteNotADatabase = 26;

QVariant text(const QString &value)
{
    // Qt binds a null QString as SQL NULL; the text columns hold "" for it.
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

// Milliseconds since the epoch, UTC: exact, and sorts as a number.
QVariant moment(const QDateTime &value)
{
    return value.isValid() ? QVariant(value.toMSecsSinceEpoch()) : QVariant();
}

QDateTime momentAt(const QSqlQuery &query, int column)
{
    return query.isNull(column) ? QDateTime()
                                : QDateTime::fromMSecsSinceEpoch(query.value(column).toLongLong(), Qt::UTC);
}

// Device and inode numbers are unsigned 64-bit; SQLite keeps their bits in its signed integers.
QVariantList identityValues(const std::optional<FileChecks::Identity> &identity)
{
    if (!identity)
        return QVariantList(5);
    return {qint64(identity->device), qint64(identity->inode), qint64(identity->size), identity->modifiedSeconds,
            identity->modifiedNanoseconds};
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

// Per type: its table, the columns insert and save write (after the id), how they map to fields,
// and the order of a full fetch. Fetches read the id, then these columns (then a record's state).
template <typename T> struct Table;

template <> struct Table<RenameRecord> {
    static constexpr ObjectStore::Kind kind = ObjectStore::Kind::records;
    static QString name() { return QStringLiteral("rename_record"); }
    static QStringList columns()
    {
        return {QStringLiteral("original_path"), QStringLiteral("new_path"),     QStringLiteral("original_name"),
                QStringLiteral("new_name"),      QStringLiteral("timestamp"),    QStringLiteral("provider_used"),
                QStringLiteral("confidence"),    QStringLiteral("reverted"),     QStringLiteral("reverted_at"),
                QStringLiteral("file_device"),   QStringLiteral("file_inode"),   QStringLiteral("file_size"),
                QStringLiteral("file_mtime"),    QStringLiteral("file_mtime_ns")};
    }
    static QString extraColumns() { return QStringLiteral(", state"); }
    static QString order() { return QStringLiteral("timestamp DESC, id DESC"); }
    static QVariantList values(const RenameRecord &r)
    {
        // SQLite stores NaN as NULL; read() turns NULL back into NaN.
        QVariantList values{text(r.originalPath),
                            text(r.newPath),
                            text(r.originalName),
                            text(r.newName),
                            moment(r.timestamp),
                            text(r.providerUsed),
                            std::isnan(r.confidence) ? QVariant() : QVariant(r.confidence),
                            int(r.reverted),
                            r.revertedAt ? moment(*r.revertedAt) : QVariant()};
        return values << identityValues(r.identity);
    }
    static RenameRecord read(const QSqlQuery &q)
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
        r.state = q.value(15).toString() == u"pending" ? State::pending : State::done;
        return r;
    }
};

template <> struct Table<NamingTemplate> {
    static constexpr ObjectStore::Kind kind = ObjectStore::Kind::templates;
    static QString name() { return QStringLiteral("naming_template"); }
    static QStringList columns()
    {
        return {QStringLiteral("name"), QStringLiteral("pattern"), QStringLiteral("example"),
                QStringLiteral("is_default"), QStringLiteral("created_at")};
    }
    static QString extraColumns() { return {}; }
    static QString order() { return QStringLiteral("created_at ASC, id ASC"); }
    static QVariantList values(const NamingTemplate &t)
    {
        return {text(t.name), text(t.pattern), text(t.example), int(t.isDefault), moment(t.createdAt)};
    }
    static NamingTemplate read(const QSqlQuery &q)
    {
        NamingTemplate t;
        t.id = q.value(0).toLongLong();
        t.name = q.value(1).toString();
        t.pattern = q.value(2).toString();
        t.example = q.value(3).toString();
        t.isDefault = q.value(4).toLongLong() != 0;
        t.createdAt = momentAt(q, 5);
        return t;
    }
};

template <> struct Table<WatchedFolder> {
    static constexpr ObjectStore::Kind kind = ObjectStore::Kind::folders;
    static QString name() { return QStringLiteral("watched_folder"); }
    static QStringList columns()
    {
        return {QStringLiteral("path"), QStringLiteral("is_active"), QStringLiteral("auto_rename"),
                QStringLiteral("template_name"), QStringLiteral("added_at")};
    }
    static QString extraColumns() { return {}; }
    static QString order() { return QStringLiteral("added_at ASC, id ASC"); }
    static QVariantList values(const WatchedFolder &f)
    {
        return {text(f.path), int(f.isActive), int(f.autoRename), f.templateName ? text(*f.templateName) : QVariant(),
                moment(f.addedAt)};
    }
    static WatchedFolder read(const QSqlQuery &q)
    {
        WatchedFolder f;
        f.id = q.value(0).toLongLong();
        f.path = q.value(1).toString();
        f.isActive = q.value(2).toLongLong() != 0;
        f.autoRename = q.value(3).toLongLong() != 0;
        if (!q.isNull(4))
            f.templateName = q.value(4).toString();
        f.addedAt = momentAt(q, 5);
        return f;
    }
};

// What insert and save write: the fields, and for a record its names folded for the search.
template <typename T> QStringList writtenColumns()
{
    QStringList columns = Table<T>::columns();
    if constexpr (std::is_same_v<T, RenameRecord>)
        columns << QStringLiteral("original_name_folded") << QStringLiteral("new_name_folded");
    return columns;
}

template <typename T> QVariantList writtenValues(const T &value)
{
    QVariantList values = Table<T>::values(value);
    if constexpr (std::is_same_v<T, RenameRecord>)
        values << UnicodeText::toLowerFull(value.originalName) << UnicodeText::toLowerFull(value.newName);
    return values;
}

QString placeholders(qsizetype count)
{
    QStringList marks;
    marks.fill(QStringLiteral("?"), count);
    return marks.join(u", ");
}

QString sqliteText(const QSqlError &error)
{
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

bool isContentError(const QSqlError &error)
{
    // The native code may carry the extended bits (e.g. 267 = SQLITE_CORRUPT_VTAB).
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == SqliteCorrupt || code == SqliteNotADatabase;
}

// The first column of the first row of `sql`, which must return one.
std::expected<QVariant, QSqlError> singleValue(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        return std::unexpected(query.lastError());
    if (!query.next())
        return std::unexpected(query.lastError().isValid() ? query.lastError()
                                                           : QSqlError(QString(), QStringLiteral("keine Antwort")));
    return query.value(0);
}

} // namespace

QString ObjectStore::standardFilePath()
{
    // A fixed folder name, like the settings file, so every binary of the project shares it.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/namorix/namorix.sqlite");
}

ObjectStore::ObjectStore(const QString &filePath, const QString &connectionName)
    : m_filePath(filePath)
    , m_connectionName(connectionName)
{
}

ObjectStore::~ObjectStore()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::expected<std::unique_ptr<ObjectStore>, StoreError> ObjectStore::open(const QString &path)
{
    static std::atomic<quint64> instances = 0;
    const QString connectionName = QStringLiteral("namorix-store-%1").arg(instances++);
    std::unique_ptr<ObjectStore> store(new ObjectStore(QFileInfo(path).absoluteFilePath(), connectionName));
    if (auto opened = store->openConnection(); !opened)
        return std::unexpected(opened.error());
    if (auto migrated = store->migrate(); !migrated)
        return std::unexpected(migrated.error());
    return store;
}

StoreError ObjectStore::failure(StoreError::Code code, const QString &detail) const
{
    switch (code) {
    case StoreError::Code::cannotOpen:
        return {code, QStringLiteral("Die Datenbank %1 kann nicht geöffnet werden: %2").arg(m_filePath, detail)};
    case StoreError::Code::corrupt:
        return {code, QStringLiteral("Die Datenbank %1 ist beschädigt oder keine Namorix-Datenbank (%2). "
                                     "Die Datei bleibt unverändert.")
                          .arg(m_filePath, detail)};
    case StoreError::Code::newerSchema:
        return {code, QStringLiteral("Die Datenbank %1 stammt von einer neueren Namorix-Version (%2). "
                                     "Die Datei bleibt unverändert.")
                          .arg(m_filePath, detail)};
    case StoreError::Code::failed:
    case StoreError::Code::notFound:
        break;
    }
    return {code, QStringLiteral("Die Datenbank %1 meldet einen Fehler: %2").arg(m_filePath, detail)};
}

StoreError ObjectStore::notFound(qint64 id) const
{
    return {StoreError::Code::notFound, QStringLiteral("Der Eintrag %1 ist nicht (mehr) gespeichert.").arg(id)};
}

std::expected<void, StoreError> ObjectStore::openConnection()
{
    using Code = StoreError::Code;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return std::unexpected(failure(Code::cannotOpen, QStringLiteral("der SQLite-Treiber von Qt fehlt")));

    const QFileInfo file(m_filePath);
    if (!QDir().mkpath(file.absolutePath()))
        return std::unexpected(failure(
            Code::cannotOpen, QStringLiteral("der Ordner %1 kann nicht angelegt werden").arg(file.absolutePath())));
    if (file.exists() && !file.isFile())
        return std::unexpected(failure(Code::cannotOpen, QStringLiteral("das ist keine Datei")));

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(m_filePath);
    // Another process of ours (a second instance about to hand over) may hold a short lock.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!m_db.open())
        return std::unexpected(failure(Code::cannotOpen, sqliteText(m_db.lastError())));
    return {};
}

std::expected<void, StoreError> ObjectStore::migrate()
{
    using Code = StoreError::Code;
    // Nothing is written before the file has proven to be ours and not newer than this build.
    const auto readFailure = [this](const QSqlError &error) {
        return std::unexpected(failure(isContentError(error) ? Code::corrupt : Code::cannotOpen, sqliteText(error)));
    };
    const auto version = singleValue(m_db, QStringLiteral("PRAGMA user_version"));
    if (!version)
        return readFailure(version.error());
    const int stored = version->toInt();
    if (stored > SchemaVersion)
        return std::unexpected(
            failure(Code::newerSchema,
                    QStringLiteral("Schema %1, diese Version kennt bis Schema %2").arg(stored).arg(SchemaVersion)));

    if (stored == 0) {
        const auto objects = singleValue(m_db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
        if (!objects)
            return readFailure(objects.error());
        if (objects->toInt() != 0)
            return std::unexpected(failure(Code::corrupt, QStringLiteral("sie enthält fremde Tabellen")));
    } else {
        const auto application = singleValue(m_db, QStringLiteral("PRAGMA application_id"));
        if (!application)
            return readFailure(application.error());
        if (application->toLongLong() != ApplicationId)
            return std::unexpected(failure(Code::corrupt, QStringLiteral("sie gehört einem anderen Programm")));
        const auto check = singleValue(m_db, QStringLiteral("PRAGMA quick_check(1)"));
        if (!check)
            return readFailure(check.error());
        if (check->toString() != u"ok")
            return std::unexpected(failure(
                Code::corrupt, check->toString().remove(QStringLiteral("*** in database main ***")).simplified()));
    }

    const auto journal = singleValue(m_db, QStringLiteral("PRAGMA journal_mode = WAL"));
    if (!journal)
        return readFailure(journal.error());
    if (journal->toString().compare(u"wal", Qt::CaseInsensitive) != 0)
        return std::unexpected(failure(Code::cannotOpen, QStringLiteral("kein WAL-Journal möglich")));
    // FULL: a history record reaches the disk before the file it describes is moved.
    for (const QString &pragma :
         {QStringLiteral("PRAGMA synchronous = FULL"), QStringLiteral("PRAGMA foreign_keys = OFF")}) {
        if (auto done = exec(pragma); !done)
            return std::unexpected(done.error());
    }
    if (stored == SchemaVersion)
        return {};

    using Step = std::expected<void, StoreError> (ObjectStore::*)();
    static constexpr std::array<Step, SchemaVersion> steps = {&ObjectStore::upgradeToV1, &ObjectStore::upgradeToV2,
                                                              &ObjectStore::upgradeToV3};
    // In one write transaction, so a second process cannot upgrade at the same time.
    return inTransaction([&]() -> std::expected<void, StoreError> {
        const auto current = singleValue(m_db, QStringLiteral("PRAGMA user_version"));
        if (!current)
            return std::unexpected(failure(Code::failed, sqliteText(current.error())));
        for (int from = current->toInt(); from < SchemaVersion; ++from) {
            if (auto step = (this->*steps[std::size_t(from)])(); !step)
                return step;
        }
        return exec(QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion));
    });
}

std::expected<void, StoreError> ObjectStore::upgradeToV1()
{
    const QString statements[] = {
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
    };
    for (const QString &statement : statements) {
        if (auto done = exec(statement); !done)
            return done;
    }
    return {};
}

std::expected<void, StoreError> ObjectStore::upgradeToV2()
{
    // The history search compares lower-cased names (full Unicode case mapping, which SQLite's
    // lower() lacks); they are kept beside the names. Provider filters get their own index.
    const QString statements[] = {
        QStringLiteral("ALTER TABLE rename_record ADD COLUMN original_name_folded TEXT NOT NULL DEFAULT ''"),
        QStringLiteral("ALTER TABLE rename_record ADD COLUMN new_name_folded TEXT NOT NULL DEFAULT ''"),
        QStringLiteral("CREATE INDEX rename_record_by_provider ON rename_record (state, provider_used, timestamp)"),
    };
    for (const QString &statement : statements) {
        if (auto done = exec(statement); !done)
            return done;
    }
    QSqlQuery rows(m_db);
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT id, original_name, new_name FROM rename_record")))
        return std::unexpected(failure(StoreError::Code::failed, sqliteText(rows.lastError())));
    QSqlQuery update(m_db);
    update.prepare(
        QStringLiteral("UPDATE rename_record SET original_name_folded = ?, new_name_folded = ? WHERE id = ?"));
    while (rows.next()) {
        update.bindValue(0, UnicodeText::toLowerFull(rows.value(1).toString()));
        update.bindValue(1, UnicodeText::toLowerFull(rows.value(2).toString()));
        update.bindValue(2, rows.value(0));
        if (auto done = exec(update); !done)
            return done;
    }
    return {};
}

std::expected<void, StoreError> ObjectStore::upgradeToV3()
{
    // The renamed file's identity, for revert; records written before stay without one (NULL).
    for (const char *column : {"file_device", "file_inode", "file_size", "file_mtime", "file_mtime_ns"}) {
        if (auto done =
                exec(QStringLiteral("ALTER TABLE rename_record ADD COLUMN %1 INTEGER").arg(QLatin1String(column)));
            !done)
            return done;
    }
    return {};
}

std::expected<void, StoreError> ObjectStore::exec(QSqlQuery &query) const
{
    if (!query.exec())
        return std::unexpected(failure(StoreError::Code::failed, sqliteText(query.lastError())));
    return {};
}

std::expected<void, StoreError> ObjectStore::exec(const QString &sql) const
{
    QSqlQuery query(m_db);
    if (!query.exec(sql))
        return std::unexpected(failure(StoreError::Code::failed, sqliteText(query.lastError())));
    return {};
}

std::expected<void, StoreError> ObjectStore::commitOrRollBack(std::expected<void, StoreError> result)
{
    if (result)
        result = exec(QStringLiteral("COMMIT"));
    // A failed rollback leaves nothing to undo that the failed statement had not already undone.
    if (!result && !exec(QStringLiteral("ROLLBACK")))
        qWarning("Namorix: rollback failed after: %s", qUtf8Printable(result.error().message));
    return result;
}

template <typename T> QString ObjectStore::insertStatement(bool withState)
{
    QStringList columns = writtenColumns<T>();
    if (withState)
        columns << QStringLiteral("state");
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(Table<T>::name(), columns.join(u", "), placeholders(columns.size()));
}

std::expected<qint64, StoreError> ObjectStore::execInsert(QSqlQuery &query, const QVariantList &values) const
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (auto done = exec(query); !done)
        return std::unexpected(done.error());
    return query.lastInsertId().toLongLong();
}

template <typename T> std::expected<qint64, StoreError> ObjectStore::insertRow(const T &value)
{
    QSqlQuery query(m_db);
    query.prepare(insertStatement<T>(false));
    const auto id = execInsert(query, writtenValues(value));
    if (id)
        Q_EMIT changed(Table<T>::kind);
    return id;
}

std::expected<QList<qint64>, StoreError> ObjectStore::insertRecords(const QList<RenameRecord> &records, State state)
{
    QList<qint64> ids;
    const auto inserted = inTransaction([&]() -> std::expected<void, StoreError> {
        QSqlQuery query(m_db);
        query.prepare(insertStatement<RenameRecord>(true));
        for (const RenameRecord &record : records) {
            const auto id = execInsert(query, writtenValues(record) << stateText(state));
            if (!id)
                return std::unexpected(id.error());
            ids << *id;
        }
        return {};
    });
    if (!inserted)
        return std::unexpected(inserted.error());
    if (state == State::done && !ids.isEmpty())
        Q_EMIT changed(Kind::records);
    return ids;
}

std::expected<void, StoreError> ObjectStore::inTransaction(const std::function<std::expected<void, StoreError>()> &work)
{
    // IMMEDIATE takes the write lock first, so a second process cannot slip in between.
    if (auto begun = exec(QStringLiteral("BEGIN IMMEDIATE")); !begun)
        return begun;
    return commitOrRollBack(work());
}

template <typename T> std::expected<void, StoreError> ObjectStore::saveRow(const T &value)
{
    const QStringList columns = writtenColumns<T>();
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE id = ?").arg(Table<T>::name(), columns.join(u" = ?, ")));
    for (const QVariant &bound : writtenValues(value))
        query.addBindValue(bound);
    query.addBindValue(value.id);
    if (auto done = exec(query); !done)
        return done;
    if (query.numRowsAffected() == 0)
        return std::unexpected(notFound(value.id));
    Q_EMIT changed(Table<T>::kind);
    return {};
}

template <typename T> std::expected<void, StoreError> ObjectStore::removeRow(qint64 id)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(Table<T>::name()));
    query.addBindValue(id);
    if (auto done = exec(query); !done)
        return done;
    if (query.numRowsAffected() == 0)
        return std::unexpected(notFound(id));
    Q_EMIT changed(Table<T>::kind);
    return {};
}

template <typename T>
std::expected<QList<T>, StoreError> ObjectStore::fetchRows(const QString &where, const QVariantList &bound,
                                                           const QString &page) const
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, %1%2 FROM %3 WHERE %4 ORDER BY %5%6")
                      .arg(Table<T>::columns().join(u", "), Table<T>::extraColumns(), Table<T>::name(), where,
                           Table<T>::order(), page));
    for (const QVariant &value : bound)
        query.addBindValue(value);
    if (auto done = exec(query); !done)
        return std::unexpected(done.error());
    QList<T> rows;
    while (query.next())
        rows.append(Table<T>::read(query));
    if (query.lastError().isValid())
        return std::unexpected(failure(StoreError::Code::failed, sqliteText(query.lastError())));
    return rows;
}

template <typename T> std::expected<T, StoreError> ObjectStore::fetchRow(qint64 id) const
{
    auto rows = fetchRows<T>(QStringLiteral("id = ?"), {id});
    if (!rows)
        return std::unexpected(rows.error());
    if (rows->isEmpty())
        return std::unexpected(notFound(id));
    return rows->first();
}

std::expected<qint64, StoreError> ObjectStore::insert(const RenameRecord &record)
{
    const auto ids = insertRecords({record}, State::done);
    return ids ? std::expected<qint64, StoreError>(ids->first()) : std::unexpected(ids.error());
}

std::expected<QList<qint64>, StoreError> ObjectStore::insert(const QList<RenameRecord> &records)
{
    return insertRecords(records, State::done);
}

std::expected<qint64, StoreError> ObjectStore::insertPending(const RenameRecord &record)
{
    const auto ids = insertRecords({record}, State::pending);
    return ids ? std::expected<qint64, StoreError>(ids->first()) : std::unexpected(ids.error());
}

std::expected<QList<qint64>, StoreError> ObjectStore::insertPending(const QList<RenameRecord> &records)
{
    return insertRecords(records, State::pending);
}

std::expected<qint64, StoreError> ObjectStore::replacePending(qint64 id, const RenameRecord &record)
{
    qint64 replacement = 0;
    const auto replaced = inTransaction([&]() -> std::expected<void, StoreError> {
        QSqlQuery removal(m_db);
        removal.prepare(QStringLiteral("DELETE FROM rename_record WHERE id = ? AND state = 'pending'"));
        removal.addBindValue(id);
        if (auto done = exec(removal); !done)
            return done;
        QSqlQuery insertion(m_db);
        insertion.prepare(insertStatement<RenameRecord>(true));
        const auto inserted = execInsert(insertion, writtenValues(record) << stateText(State::pending));
        if (!inserted)
            return std::unexpected(inserted.error());
        replacement = *inserted;
        return {};
    });
    return replaced ? std::expected<qint64, StoreError>(replacement) : std::unexpected(replaced.error());
}

std::expected<int, StoreError> ObjectStore::finishPending(const QList<qint64> &moved, const QList<qint64> &abandoned,
                                                          const QList<RenameRecord> &reidentified)
{
    int confirmed = 0;
    // The pending records are durable already, and a confirmation or removal lost to a power
    // failure is redone by the start-up pass (it looks at the files): this commit need not wait
    // for the disk. Every other write stays fully synchronous. A pragma that fails only changes
    // how long the commit waits, not what it writes.
    const auto relaxed = exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    const auto finished = inTransaction([&]() -> std::expected<void, StoreError> {
        // IN lists of a few hundred ids: a statement per id costs more in Qt than in SQLite.
        constexpr qsizetype Chunk = 500;
        const auto each = [&](const QString &statement, const QList<qint64> &ids) -> std::expected<int, StoreError> {
            int affected = 0;
            for (qsizetype start = 0; start < ids.size(); start += Chunk) {
                const QList<qint64> chunk = ids.mid(start, Chunk);
                QSqlQuery query(m_db);
                query.prepare(statement.arg(placeholders(chunk.size())));
                for (const qint64 id : chunk)
                    query.addBindValue(id);
                if (auto done = exec(query); !done)
                    return std::unexpected(done.error());
                affected += query.numRowsAffected();
            }
            return affected;
        };
        QSqlQuery identity(m_db);
        identity.prepare(QStringLiteral("UPDATE rename_record SET file_device = ?, file_inode = ?, file_size = ?,"
                                        " file_mtime = ?, file_mtime_ns = ? WHERE state = 'pending' AND id = ?"));
        for (const RenameRecord &record : reidentified) {
            const QVariantList values = identityValues(record.identity) << record.id;
            for (int i = 0; i < values.size(); ++i)
                identity.bindValue(i, values.at(i));
            if (auto done = exec(identity); !done)
                return done;
        }
        const auto done = each(
            QStringLiteral("UPDATE rename_record SET state = 'done' WHERE state = 'pending' AND id IN (%1)"), moved);
        if (!done)
            return std::unexpected(done.error());
        confirmed = *done;
        const auto removed =
            each(QStringLiteral("DELETE FROM rename_record WHERE state = 'pending' AND id IN (%1)"), abandoned);
        return removed ? std::expected<void, StoreError>() : std::unexpected(removed.error());
    });
    const auto restored = exec(QStringLiteral("PRAGMA synchronous = FULL"));
    if (!relaxed || !restored)
        qWarning("Namorix: could not switch the history's disk synchronisation");
    if (!finished)
        return std::unexpected(finished.error());
    if (confirmed > 0)
        Q_EMIT changed(Kind::records);
    return confirmed;
}

std::expected<void, StoreError> ObjectStore::confirm(qint64 id)
{
    const auto confirmed = finishPending({id}, {});
    if (!confirmed)
        return std::unexpected(confirmed.error());
    // Confirming twice is harmless; confirming a removed record is the caller's bug.
    if (*confirmed == 0) {
        if (auto existing = fetchRecord(id); !existing)
            return std::unexpected(existing.error());
    }
    return {};
}

std::expected<ObjectStore::Settlement, StoreError>
ObjectStore::settlePendingRecords(const std::function<bool(const RenameRecord &)> &fileIsAtNewPath)
{
    const auto pending = fetchRows<RenameRecord>(QStringLiteral("state = 'pending'"));
    if (!pending)
        return std::unexpected(pending.error());
    if (pending->isEmpty())
        return Settlement{};

    Settlement settlement;
    const auto settled = inTransaction([&]() -> std::expected<void, StoreError> {
        for (const RenameRecord &record : *pending) {
            const bool moved = fileIsAtNewPath(record);
            QSqlQuery query(m_db);
            query.prepare(moved ? QStringLiteral("UPDATE rename_record SET state = 'done' WHERE id = ?")
                                : QStringLiteral("DELETE FROM rename_record WHERE id = ?"));
            query.addBindValue(record.id);
            if (auto done = exec(query); !done)
                return done;
            ++(moved ? settlement.confirmed : settlement.removed);
        }
        return {};
    });
    if (!settled)
        return std::unexpected(settled.error());
    if (settlement.confirmed > 0)
        Q_EMIT changed(Kind::records);
    return settlement;
}

std::expected<qint64, StoreError> ObjectStore::insert(const NamingTemplate &value)
{
    return insertRow(value);
}

std::expected<qint64, StoreError> ObjectStore::insert(const WatchedFolder &value)
{
    return insertRow(value);
}

std::expected<void, StoreError> ObjectStore::save(const RenameRecord &record)
{
    return saveRow(record);
}

std::expected<void, StoreError> ObjectStore::save(const NamingTemplate &value)
{
    return saveRow(value);
}

std::expected<void, StoreError> ObjectStore::save(const WatchedFolder &value)
{
    return saveRow(value);
}

std::expected<void, StoreError> ObjectStore::removeRecord(qint64 id)
{
    return removeRow<RenameRecord>(id);
}

std::expected<void, StoreError> ObjectStore::removeAllRecords()
{
    if (auto done = exec(QStringLiteral("DELETE FROM rename_record WHERE state = 'done'")); !done)
        return done;
    Q_EMIT changed(Kind::records);
    return {};
}

std::expected<void, StoreError> ObjectStore::removeTemplate(qint64 id)
{
    return removeRow<NamingTemplate>(id);
}

std::expected<void, StoreError> ObjectStore::removeFolder(qint64 id)
{
    return removeRow<WatchedFolder>(id);
}

std::expected<QSet<QString>, StoreError> ObjectStore::pathsInHistory(const QStringList &paths) const
{
    // A few statements with IN lists instead of one per path: both columns are indexed, and a
    // watched folder asks about hundreds of paths at once.
    constexpr qsizetype Chunk = 200;
    QSet<QString> found;
    for (qsizetype start = 0; start < paths.size(); start += Chunk) {
        const QStringList chunk = paths.mid(start, Chunk);
        QStringList marks(chunk.size(), QStringLiteral("?"));
        const QString list = marks.join(QLatin1Char(','));
        QSqlQuery query(m_db);
        query.prepare(QStringLiteral("SELECT original_path, new_path FROM rename_record WHERE state = 'done'"
                                     " AND reverted = 0 AND (original_path IN (%1) OR new_path IN (%1))")
                          .arg(list));
        for (int pass = 0; pass < 2; ++pass) {
            for (const QString &path : chunk)
                query.addBindValue(path);
        }
        if (auto done = exec(query); !done)
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

std::expected<QList<RenameRecord>, StoreError> ObjectStore::fetchRecords() const
{
    return fetchRecords(RecordQuery{});
}

std::expected<QList<RenameRecord>, StoreError> ObjectStore::fetchRecords(const RecordQuery &filter) const
{
    // Newest first through the (state, timestamp) index, whose entries end in the id, so a
    // limit reads only the rows it returns (plus those a filter skips).
    QStringList conditions{QStringLiteral("state = 'done'")};
    QVariantList bound;
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
    if (filter.newPath) {
        // Without statistics SQLite would walk the time index to spare the sort; "+" rules it out.
        conditions.first() = QStringLiteral("+state = 'done'");
        add(QStringLiteral("new_path = ?"), text(*filter.newPath));
    }
    const QString page = QStringLiteral(" LIMIT %1 OFFSET %2")
                             .arg(std::max<qsizetype>(filter.limit, -1))
                             .arg(std::max<qsizetype>(filter.offset, 0));
    return fetchRows<RenameRecord>(conditions.join(QStringLiteral(" AND ")), bound, page);
}

std::expected<QList<NamingTemplate>, StoreError> ObjectStore::fetchTemplates() const
{
    return fetchRows<NamingTemplate>(QStringLiteral("1"));
}

std::expected<QList<WatchedFolder>, StoreError> ObjectStore::fetchFolders() const
{
    return fetchRows<WatchedFolder>(QStringLiteral("1"));
}

std::expected<RenameRecord, StoreError> ObjectStore::fetchRecord(qint64 id) const
{
    return fetchRow<RenameRecord>(id);
}

std::expected<NamingTemplate, StoreError> ObjectStore::fetchTemplate(qint64 id) const
{
    return fetchRow<NamingTemplate>(id);
}

std::expected<WatchedFolder, StoreError> ObjectStore::fetchFolder(qint64 id) const
{
    return fetchRow<WatchedFolder>(id);
}
