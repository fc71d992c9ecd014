#pragma once

#include "store/namingtemplate.h"
#include "store/renamerecord.h"
#include "store/storeerror.h"
#include "store/watchedfolder.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <expected>
#include <functional>
#include <memory>
#include <optional>

class QSqlQuery;

/**
 * The application's persistent objects (rename history, naming templates, watched folders) in
 * one SQLite file. Lives on the GUI thread with its own connection; every call is synchronous.
 *
 * Each successful write that changes what the fetches return emits changed(kind), which views
 * use as their live query. A file that is not a usable Namorix database of this or an older
 * schema is refused at open() and never written to.
 */
class ObjectStore final : public QObject
{
    Q_OBJECT

public:
    enum class Kind { records, templates, folders };
    Q_ENUM(Kind)

    /** What settlePendingRecords() did. */
    struct Settlement {
        int confirmed = 0;
        int removed = 0;
    };

    /** The schema version this build writes and the newest it can open. */
    static constexpr int SchemaVersion = 3;

    /** Which history records fetchRecords(query) returns; every field left empty matches all. */
    struct RecordQuery {
        /** Contained in the lower-cased `originalName` or `newName` (full Unicode case mapping). */
        std::optional<QString> search;
        std::optional<QString> provider; ///< `providerUsed`, exactly
        std::optional<QDateTime> from;   ///< `timestamp` at or after
        std::optional<QDateTime> to;     ///< `timestamp` at or before
        std::optional<bool> reverted;
        std::optional<QString> newPath;
        qsizetype offset = 0; ///< of the newest-first order, for paging
        qsizetype limit = -1; ///< negative: all
    };

    /** `$XDG_DATA_HOME/namorix/namorix.sqlite`. */
    [[nodiscard]] static QString standardFilePath();

    /** Opens or creates the store at `path` (creating its folder) and upgrades an older schema. */
    [[nodiscard]] static std::expected<std::unique_ptr<ObjectStore>, StoreError> open(const QString &path);

    ~ObjectStore() override;
    Q_DISABLE_COPY_MOVE(ObjectStore)

    [[nodiscard]] QString filePath() const { return m_filePath; }

    /** Stores a finished rename as history (state done); returns its id. */
    [[nodiscard]] std::expected<qint64, StoreError> insert(const RenameRecord &record);
    /** Stores finished renames in one transaction; their ids in order. */
    [[nodiscard]] std::expected<QList<qint64>, StoreError> insert(const QList<RenameRecord> &records);
    /** Durably stores a rename about to happen; it stays out of fetchRecords() until confirmed. */
    [[nodiscard]] std::expected<qint64, StoreError> insertPending(const RenameRecord &record);
    /** The same for a batch, in one synced transaction (one disk flush); the ids in order. */
    [[nodiscard]] std::expected<QList<qint64>, StoreError> insertPending(const QList<RenameRecord> &records);
    /** Swaps a pending record for another (a new destination) in one synced transaction; the new id. */
    [[nodiscard]] std::expected<qint64, StoreError> replacePending(qint64 id, const RenameRecord &record);
    /**
     * After a batch of moves, in one transaction: the pending records in `moved` become done,
     * those in `abandoned` (moves that did not happen) are removed, and those in `reidentified`
     * (moved files found changed since their pending write) take their new identity. Returns how
     * many became done.
     */
    [[nodiscard]] std::expected<int, StoreError> finishPending(const QList<qint64> &moved,
                                                               const QList<qint64> &abandoned,
                                                               const QList<RenameRecord> &reidentified = {});
    /** Marks a pending record done after its file has moved; a done record stays as it is. */
    [[nodiscard]] std::expected<void, StoreError> confirm(qint64 id);
    /**
     * Start-up pass over records left pending by a crash: a record whose file is at its new path
     * is confirmed, any other is removed (the move did not happen, so there is no history).
     */
    [[nodiscard]] std::expected<Settlement, StoreError>
    settlePendingRecords(const std::function<bool(const RenameRecord &)> &fileIsAtNewPath);

    [[nodiscard]] std::expected<qint64, StoreError> insert(const NamingTemplate &value);
    [[nodiscard]] std::expected<qint64, StoreError> insert(const WatchedFolder &value);

    /** Writes every field but the id (and a record's state) over the stored object with that id. */
    [[nodiscard]] std::expected<void, StoreError> save(const RenameRecord &record);
    [[nodiscard]] std::expected<void, StoreError> save(const NamingTemplate &value);
    [[nodiscard]] std::expected<void, StoreError> save(const WatchedFolder &value);

    [[nodiscard]] std::expected<void, StoreError> removeRecord(qint64 id);
    /** Clears the history; pending records of a rename in progress stay. */
    [[nodiscard]] std::expected<void, StoreError> removeAllRecords();
    [[nodiscard]] std::expected<void, StoreError> removeTemplate(qint64 id);
    [[nodiscard]] std::expected<void, StoreError> removeFolder(qint64 id);

    /** Done records, newest `timestamp` first. */
    [[nodiscard]] std::expected<QList<RenameRecord>, StoreError> fetchRecords() const;
    /** The done records `query` selects, newest `timestamp` first (ties: newest id), filtered and cut in SQL. */
    [[nodiscard]] std::expected<QList<RenameRecord>, StoreError> fetchRecords(const RecordQuery &query) const;
    /** Of `paths`, those that a record not reverted holds as its old or new path (indexed lookups). */
    [[nodiscard]] std::expected<QSet<QString>, StoreError> pathsInHistory(const QStringList &paths) const;
    /** Oldest `createdAt` first. */
    [[nodiscard]] std::expected<QList<NamingTemplate>, StoreError> fetchTemplates() const;
    /** Oldest `addedAt` first. */
    [[nodiscard]] std::expected<QList<WatchedFolder>, StoreError> fetchFolders() const;

    /** Finds a record in either state. */
    [[nodiscard]] std::expected<RenameRecord, StoreError> fetchRecord(qint64 id) const;
    [[nodiscard]] std::expected<NamingTemplate, StoreError> fetchTemplate(qint64 id) const;
    [[nodiscard]] std::expected<WatchedFolder, StoreError> fetchFolder(qint64 id) const;

Q_SIGNALS:
    void changed(ObjectStore::Kind kind);

private:
    ObjectStore(const QString &filePath, const QString &connectionName);

    [[nodiscard]] std::expected<void, StoreError> openConnection();
    [[nodiscard]] std::expected<void, StoreError> migrate();
    [[nodiscard]] std::expected<void, StoreError> upgradeToV1();
    [[nodiscard]] std::expected<void, StoreError> upgradeToV2();
    [[nodiscard]] std::expected<void, StoreError> upgradeToV3();

    [[nodiscard]] std::expected<void, StoreError> exec(QSqlQuery &query) const;
    [[nodiscard]] std::expected<void, StoreError> exec(const QString &sql) const;
    [[nodiscard]] std::expected<void, StoreError> commitOrRollBack(std::expected<void, StoreError> result);
    [[nodiscard]] StoreError failure(StoreError::Code code, const QString &detail) const;
    [[nodiscard]] StoreError notFound(qint64 id) const;

    [[nodiscard]] std::expected<void, StoreError>
    inTransaction(const std::function<std::expected<void, StoreError>()> &work);
    template <typename T> [[nodiscard]] static QString insertStatement(bool withState);
    [[nodiscard]] std::expected<qint64, StoreError> execInsert(QSqlQuery &query, const QVariantList &values) const;
    template <typename T> [[nodiscard]] std::expected<qint64, StoreError> insertRow(const T &value);
    [[nodiscard]] std::expected<QList<qint64>, StoreError> insertRecords(const QList<RenameRecord> &records,
                                                                         RenameRecord::State state);
    template <typename T> [[nodiscard]] std::expected<void, StoreError> saveRow(const T &value);
    template <typename T> [[nodiscard]] std::expected<void, StoreError> removeRow(qint64 id);
    template <typename T>
    [[nodiscard]] std::expected<QList<T>, StoreError> fetchRows(const QString &where, const QVariantList &bound = {},
                                                                const QString &page = {}) const;
    template <typename T> [[nodiscard]] std::expected<T, StoreError> fetchRow(qint64 id) const;

    const QString m_filePath;
    const QString m_connectionName;
    QSqlDatabase m_db;
};
