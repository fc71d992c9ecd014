#pragma once

#include "store/storeerror.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariantList>

#include <expected>
#include <functional>
#include <memory>

class QSqlQuery;

/**
 * The one SQLite connection to a store file, used on the thread that opened it: runs statements
 * and transactions, decides how durably a commit reaches the disk, and words the store's errors.
 */
class StoreConnection final
{
public:
    using Result = std::expected<void, StoreError>;

    /** How long a commit waits for the disk. */
    enum class Sync {
        full,   // until the data is on the disk
        normal, // only for writes the start-up pass can redo
    };

    /** Opens or creates the file at `path`, creating its folder; writes nothing to the file yet. */
    [[nodiscard]] static std::expected<std::unique_ptr<StoreConnection>, StoreError> open(const QString &path);

    ~StoreConnection();
    Q_DISABLE_COPY_MOVE(StoreConnection)

    [[nodiscard]] QString filePath() const { return m_filePath; }

    /** Write-ahead journal and fully synchronous commits; for a file proven to be ours. */
    [[nodiscard]] Result configure();
    /** The file has proven to be ours and sound: closing it may leave a CleanClose note. */
    void markVerified();
    /** Whether a connection of this process to `path` has been verified and is still open. */
    [[nodiscard]] static bool verifiedHere(const QString &path);

    /** A statement to prepare on this connection. */
    [[nodiscard]] QSqlQuery query() const;
    [[nodiscard]] Result exec(QSqlQuery &query) const;
    [[nodiscard]] Result exec(const QString &sql) const;
    /** Runs a prepared INSERT with `values` bound in order; the new row's id. */
    [[nodiscard]] std::expected<qint64, StoreError> insert(QSqlQuery &query, const QVariantList &values) const;
    /** The first column of the first row of `sql`, which must return one. */
    [[nodiscard]] std::expected<QVariant, QSqlError> singleValue(const QString &sql) const;

    /** Runs `work` in one write transaction: committed when it succeeds, rolled back when not. */
    [[nodiscard]] Result inTransaction(const std::function<Result()> &work, Sync sync = Sync::full);

    [[nodiscard]] StoreError failure(StoreError::Code code, const QString &detail) const;
    /** A statement that failed on the open store. */
    [[nodiscard]] StoreError failure(const QSqlError &error) const;
    /** A read that failed while the file is being opened: its content or its access is the problem. */
    [[nodiscard]] StoreError openingFailure(const QSqlError &error) const;
    [[nodiscard]] static StoreError notFound(qint64 id);

private:
    StoreConnection(const QString &filePath, const QString &connectionName);

    [[nodiscard]] Result transaction(const std::function<Result()> &work);

    const QString m_filePath;
    const QString m_connectionName;
    QSqlDatabase m_db;
    bool m_verified = false;
};
