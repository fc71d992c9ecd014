#pragma once

#include "store/historyrepository.h"
#include "store/namingtemplate.h"
#include "store/recordquery.h"
#include "store/renamerecord.h"
#include "store/resultcacherepository.h"
#include "store/reviewrepository.h"
#include "store/senderrepository.h"
#include "store/storeerror.h"
#include "store/storeschema.h"
#include "store/watchedfolder.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <expected>
#include <functional>
#include <memory>

class StoreConnection;
template <typename T> class Repository;

/**
 * The application's persistent objects (rename history, naming templates, watched folders, the
 * model's kept replies) in one SQLite file. Lives on the GUI thread with its own connection;
 * every call is synchronous.
 *
 * Each successful write that changes what the fetches return emits changed(kind), which views
 * use as their live query. A file that is not a usable Namorix database of this or an older
 * schema is refused at open() and never written to.
 *
 * A facade that opens the file and owns the pieces: one StoreConnection, upgraded by StoreSchema,
 * and a repository per kind (HistoryRepository, TemplateRepository, FolderRepository,
 * ResultCacheRepository).
 */
class ObjectStore final : public QObject
{
    Q_OBJECT

public:
    enum class Kind { records, templates, folders };
    Q_ENUM(Kind)

    using Settlement = HistoryRepository::Settlement;
    using Batch = HistoryRepository::Batch;
    using RecordCount = HistoryRepository::Count;
    using RecordQuery = ::RecordQuery;

    /** The schema version this build writes and the newest it can open. */
    static constexpr int SchemaVersion = StoreSchema::Version;

    /** `$XDG_DATA_HOME/namorix/namorix.sqlite`. */
    [[nodiscard]] static QString standardFilePath();

    /** Opens or creates the store at `path` (creating its folder) and upgrades an older schema. */
    [[nodiscard]] static std::expected<std::unique_ptr<ObjectStore>, StoreError> open(const QString &path);

    ~ObjectStore() override;
    Q_DISABLE_COPY_MOVE(ObjectStore)

    [[nodiscard]] QString filePath() const;

    // The rename history, as HistoryRepository describes it; the single-record calls are a batch of one.
    [[nodiscard]] std::expected<qint64, StoreError> insert(const RenameRecord &record);
    [[nodiscard]] std::expected<QList<qint64>, StoreError> insert(const QList<RenameRecord> &records);
    [[nodiscard]] std::expected<qint64, StoreError> insertPending(const RenameRecord &record);
    [[nodiscard]] std::expected<QList<qint64>, StoreError> insertPending(const QList<RenameRecord> &records);
    [[nodiscard]] std::expected<qint64, StoreError> replacePending(qint64 id, const RenameRecord &record);
    [[nodiscard]] std::expected<int, StoreError>
    finishPending(const QList<qint64> &moved, const QList<qint64> &abandoned, const QList<RenameRecord> &found = {});
    [[nodiscard]] std::expected<void, StoreError> confirm(qint64 id);
    [[nodiscard]] std::expected<Settlement, StoreError>
    settlePendingRecords(const std::function<bool(const RenameRecord &)> &fileIsAtNewPath);
    [[nodiscard]] std::expected<void, StoreError> save(const RenameRecord &record);
    // An undo's journal, as HistoryRepository describes it.
    [[nodiscard]] std::expected<QSet<qint64>, StoreError> beginRevert(const QList<qint64> &ids);
    [[nodiscard]] std::expected<void, StoreError> finishRevert(const QList<qint64> &reverted,
                                                               const QList<qint64> &released, const QDateTime &at);
    [[nodiscard]] std::expected<Settlement, StoreError>
    settleReverts(const std::function<bool(const RenameRecord &)> &fileIsBack);
    [[nodiscard]] std::expected<void, StoreError> removeRecord(qint64 id);
    [[nodiscard]] std::expected<void, StoreError> removeAllRecords();
    /** Done records, newest `timestamp` first. */
    [[nodiscard]] std::expected<QList<RenameRecord>, StoreError> fetchRecords() const;
    [[nodiscard]] std::expected<QList<RenameRecord>, StoreError> fetchRecords(const RecordQuery &query) const;
    [[nodiscard]] std::expected<RecordCount, StoreError> countRecords(const RecordQuery &query = {}) const;
    [[nodiscard]] std::expected<RenameRecord, StoreError> fetchRecord(qint64 id) const;
    [[nodiscard]] std::expected<QSet<QString>, StoreError> pathsInHistory(const QStringList &paths) const;
    [[nodiscard]] std::expected<std::optional<Batch>, StoreError> lastBatch() const;

    // Naming templates, oldest `createdAt` first, and watched folders, oldest `addedAt` first.
    [[nodiscard]] std::expected<qint64, StoreError> insert(const NamingTemplate &value);
    [[nodiscard]] std::expected<void, StoreError> save(const NamingTemplate &value);
    [[nodiscard]] std::expected<void, StoreError> removeTemplate(qint64 id);
    [[nodiscard]] std::expected<QList<NamingTemplate>, StoreError> fetchTemplates() const;
    [[nodiscard]] std::expected<NamingTemplate, StoreError> fetchTemplate(qint64 id) const;
    [[nodiscard]] std::expected<qint64, StoreError> insert(const WatchedFolder &value);
    [[nodiscard]] std::expected<void, StoreError> save(const WatchedFolder &value);
    [[nodiscard]] std::expected<void, StoreError> removeFolder(qint64 id);
    [[nodiscard]] std::expected<QList<WatchedFolder>, StoreError> fetchFolders() const;
    [[nodiscard]] std::expected<WatchedFolder, StoreError> fetchFolder(qint64 id) const;
    /** Notes that the folders `ids` were watched until `until`; bookkeeping, so no `changed`. */
    std::expected<void, StoreError> markWatched(const QList<qint64> &ids, const QDateTime &until);

    // The language model's replies by key, as ResultCacheRepository describes it; bookkeeping, so no `changed`.
    using CacheBounds = ResultCacheRepository::Bounds;
    void setCacheBounds(const CacheBounds &bounds) { m_results.setBounds(bounds); }
    [[nodiscard]] std::expected<std::optional<QString>, StoreError>
    cachedReply(const QString &key, const QDateTime &now = QDateTime::currentDateTimeUtc()) const;
    [[nodiscard]] std::expected<void, StoreError> keepReply(const QString &key, const QString &reply,
                                                            const QDateTime &now = QDateTime::currentDateTimeUtc());
    [[nodiscard]] std::expected<qsizetype, StoreError> countCachedReplies() const;
    /** Empties the cache; how many replies it held. */
    [[nodiscard]] std::expected<qsizetype, StoreError> clearCachedReplies();

    // What the user kept for each sender, as SenderRepository describes it; bookkeeping, so no `changed`.
    [[nodiscard]] std::expected<void, StoreError> learnSender(const LearnedSender &sender,
                                                              const QDateTime &now = QDateTime::currentDateTimeUtc());
    [[nodiscard]] std::expected<QList<LearnedSender>, StoreError> learnedSenders() const;
    /** Forgets every learned sender; how many there were. */
    [[nodiscard]] std::expected<qsizetype, StoreError> forgetSenders();

    // The review list between sessions, as ReviewRepository describes it; bookkeeping, so no `changed`.
    [[nodiscard]] std::expected<void, StoreError> keepReview(const QList<ReviewRow> &changed,
                                                             const QStringList &removed);
    [[nodiscard]] std::expected<QList<ReviewRow>, StoreError> reviewRows() const;

    /** Writes made to the file through another connection (a worker's): the views learn of them as of ours. */
    void noteWritesElsewhere(Kind kind) { Q_EMIT changed(kind); }

Q_SIGNALS:
    void changed(ObjectStore::Kind kind);

private:
    explicit ObjectStore(std::unique_ptr<StoreConnection> connection);

    const std::unique_ptr<StoreConnection> m_connection;
    HistoryRepository m_history;
    const std::unique_ptr<Repository<NamingTemplate>> m_templates;
    const std::unique_ptr<Repository<WatchedFolder>> m_folders;
    ResultCacheRepository m_results;
    SenderRepository m_senders;
    ReviewRepository m_review;
};
