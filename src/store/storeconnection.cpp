#include "storeconnection.h"

#include "cleanclose.h"
#include "storelog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <QHash>

#include <atomic>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// SQLite result codes that mean the file's content, not its access, is the problem.
constexpr int SqliteCorrupt = 11;
constexpr int SqliteNotADatabase = 26;

QString sqliteText(const QSqlError &error)
{
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

/**
 * The history holds every renamed file's path and the cache the model's readings of documents:
 * the store's folder is the user's alone (0700) and its files too (0600, which SQLite passes on
 * to the -wal and -shm it makes); files and folders from earlier versions are fixed here.
 */
void keepPrivate(const QFileInfo &file)
{
    const QByteArray folder = QFile::encodeName(file.absolutePath());
    struct stat status {
    };
    if (::stat(folder.constData(), &status) == 0 && status.st_uid == ::getuid() && (status.st_mode & 077) != 0)
        ::chmod(folder.constData(), status.st_mode & 0700);
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        const QByteArray name = QFile::encodeName(file.absoluteFilePath() + suffix);
        if (suffix.isEmpty() && !file.exists()) {
            const int made = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (made >= 0)
                ::close(made);
            continue;
        }
        if (::lstat(name.constData(), &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::getuid() &&
            (status.st_mode & 077) != 0)
            ::chmod(name.constData(), status.st_mode & 0600);
    }
}

} // namespace

StoreConnection::StoreConnection(const QString &filePath, const QString &connectionName)
    : m_filePath(filePath)
    , m_connectionName(connectionName)
{
}

namespace {

// Verified connections open in this process, by file: the workers' own connections to a file
// the app checked at start need not read every page again.
std::mutex verifiedGuard;
QHash<QString, int> verifiedOpen;

} // namespace

StoreConnection::~StoreConnection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
    if (m_verified) {
        {
            const std::lock_guard lock(verifiedGuard);
            if (--verifiedOpen[m_filePath] == 0)
                verifiedOpen.remove(m_filePath);
        }
        CleanClose::record(m_filePath);
    }
}

void StoreConnection::markVerified()
{
    if (std::exchange(m_verified, true))
        return;
    const std::lock_guard lock(verifiedGuard);
    ++verifiedOpen[m_filePath];
}

bool StoreConnection::verifiedHere(const QString &path)
{
    const std::lock_guard lock(verifiedGuard);
    return verifiedOpen.contains(QFileInfo(path).absoluteFilePath());
}

std::expected<std::unique_ptr<StoreConnection>, StoreError> StoreConnection::open(const QString &path)
{
    using Code = StoreError::Code;
    static std::atomic<quint64> instances = 0;
    std::unique_ptr<StoreConnection> connection(
        new StoreConnection(QFileInfo(path).absoluteFilePath(), QStringLiteral("namorix-store-%1").arg(instances++)));
    const auto refused = [&connection](const QString &detail) {
        return std::unexpected(connection->failure(Code::cannotOpen, detail));
    };
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return refused(QStringLiteral("Qt's QSQLITE driver is missing"));

    const QFileInfo file(connection->m_filePath);
    if (!QDir().mkpath(file.absolutePath()))
        return refused(QStringLiteral("cannot create folder %1").arg(file.absolutePath()));
    if (file.exists() && !file.isFile())
        return refused(QStringLiteral("not a regular file"));
    keepPrivate(file);

    QSqlDatabase &db = connection->m_db;
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection->m_connectionName);
    db.setDatabaseName(connection->m_filePath);
    // Another process of ours (a second instance about to hand over) may hold a short lock.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open())
        return refused(sqliteText(db.lastError()));
    return connection;
}

StoreConnection::Result StoreConnection::configure()
{
    const auto journal = singleValue(QStringLiteral("PRAGMA journal_mode = WAL"));
    if (!journal)
        return std::unexpected(openingFailure(journal.error()));
    if (journal->toString().compare(u"wal", Qt::CaseInsensitive) != 0)
        return std::unexpected(failure(StoreError::Code::cannotOpen,
                                       QStringLiteral("journal mode %1 instead of WAL").arg(journal->toString())));
    // FULL: a history record reaches the disk before the file it describes is moved.
    for (const QString &pragma :
         {QStringLiteral("PRAGMA synchronous = FULL"), QStringLiteral("PRAGMA foreign_keys = OFF")}) {
        if (auto done = exec(pragma); !done)
            return done;
    }
    return {};
}

QSqlQuery StoreConnection::query() const
{
    return QSqlQuery(m_db);
}

StoreConnection::Result StoreConnection::exec(QSqlQuery &query) const
{
    if (!query.exec())
        return std::unexpected(failure(query.lastError()));
    return {};
}

StoreConnection::Result StoreConnection::exec(const QString &sql) const
{
    QSqlQuery query(m_db);
    if (!query.exec(sql))
        return std::unexpected(failure(query.lastError()));
    return {};
}

std::expected<qint64, StoreError> StoreConnection::insert(QSqlQuery &query, const QVariantList &values) const
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (auto done = exec(query); !done)
        return std::unexpected(done.error());
    return query.lastInsertId().toLongLong();
}

std::expected<QVariant, QSqlError> StoreConnection::singleValue(const QString &sql) const
{
    QSqlQuery query(m_db);
    if (!query.exec(sql))
        return std::unexpected(query.lastError());
    if (!query.next())
        return std::unexpected(query.lastError().isValid() ? query.lastError()
                                                           : QSqlError(QString(), QStringLiteral("no row")));
    return query.value(0);
}

StoreConnection::Result StoreConnection::inTransaction(const std::function<Result()> &work, Sync sync)
{
    if (sync == Sync::full)
        return transaction(work);
    // A pragma that fails only changes how long the commit waits, not what it writes.
    const auto relaxed = exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    const Result result = transaction(work);
    const auto restored = exec(QStringLiteral("PRAGMA synchronous = FULL"));
    if (!relaxed || !restored)
        qCWarning(lcStore, "could not switch the store's disk synchronisation");
    return result;
}

StoreConnection::Result StoreConnection::transaction(const std::function<Result()> &work)
{
    // IMMEDIATE takes the write lock first, so a second process cannot slip in between.
    if (auto begun = exec(QStringLiteral("BEGIN IMMEDIATE")); !begun)
        return begun;
    Result result = work();
    if (result)
        result = exec(QStringLiteral("COMMIT"));
    // A failed rollback leaves nothing to undo that the failed statement had not already undone.
    if (!result && !exec(QStringLiteral("ROLLBACK")))
        qCWarning(lcStore, "rollback failed after: %s", qUtf8Printable(result.error().message()));
    return result;
}

StoreError StoreConnection::failure(StoreError::Code code, const QString &detail) const
{
    return {code, m_filePath, detail};
}

StoreError StoreConnection::failure(const QSqlError &error) const
{
    return failure(StoreError::Code::failed, sqliteText(error));
}

StoreError StoreConnection::openingFailure(const QSqlError &error) const
{
    // The native code may carry the extended bits (e.g. 267 = SQLITE_CORRUPT_VTAB).
    const int code = error.nativeErrorCode().toInt() & 0xff;
    const bool content = code == SqliteCorrupt || code == SqliteNotADatabase;
    return failure(content ? StoreError::Code::corrupt : StoreError::Code::cannotOpen, sqliteText(error));
}

StoreError StoreConnection::notFound(qint64 id)
{
    return {StoreError::Code::notFound, QString(), QString::number(id)};
}
