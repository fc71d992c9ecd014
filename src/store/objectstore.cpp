#include "objectstore.h"

#include "store/cleanclose.h"
#include "store/folderrepository.h"
#include "store/storeconnection.h"
#include "store/storevalues.h"
#include "store/templaterepository.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace {

std::expected<qint64, StoreError> onlyId(const std::expected<QList<qint64>, StoreError> &ids)
{
    return ids ? std::expected<qint64, StoreError>(ids->first()) : std::unexpected(ids.error());
}

} // namespace

QString ObjectStore::standardFilePath()
{
    // A fixed folder name, like the settings file, so every binary of the project shares it.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/namorix/namorix.sqlite");
}

ObjectStore::ObjectStore(std::unique_ptr<StoreConnection> connection)
    : m_connection(std::move(connection))
    , m_history(*m_connection, [this] { Q_EMIT changed(Kind::records); })
    , m_templates(std::make_unique<TemplateRepository>(*m_connection, [this] { Q_EMIT changed(Kind::templates); }))
    , m_folders(std::make_unique<FolderRepository>(*m_connection, [this] { Q_EMIT changed(Kind::folders); }))
    , m_results(*m_connection)
    , m_senders(*m_connection)
    , m_review(*m_connection)
{
}

ObjectStore::~ObjectStore() = default;

std::expected<std::unique_ptr<ObjectStore>, StoreError> ObjectStore::open(const QString &path)
{
    // Checked in this process already, or unchanged since a clean close: only the header is read.
    // Asked before opening: a reader of a write-ahead store leaves a journal beside it.
    const auto pages = StoreConnection::verifiedHere(path) || CleanClose::holds(QFileInfo(path).absoluteFilePath())
                           ? StoreSchema::Pages::trust
                           : StoreSchema::Pages::check;
    auto connection = StoreConnection::open(path);
    if (!connection)
        return std::unexpected(connection.error());
    // Nothing is written before the file has proven to be ours and not newer than this build.
    const auto stored = StoreSchema::check(**connection, pages);
    if (!stored)
        return std::unexpected(stored.error());
    (*connection)->markVerified();
    if (auto configured = (*connection)->configure(); !configured)
        return std::unexpected(configured.error());
    if (auto upgraded = StoreSchema::upgrade(**connection, *stored); !upgraded)
        return std::unexpected(upgraded.error());
    return std::unique_ptr<ObjectStore>(new ObjectStore(std::move(*connection)));
}

QString ObjectStore::filePath() const
{
    return m_connection->filePath();
}

std::expected<qint64, StoreError> ObjectStore::insert(const RenameRecord &record)
{
    return onlyId(m_history.insert({record}));
}

std::expected<QList<qint64>, StoreError> ObjectStore::insert(const QList<RenameRecord> &records)
{
    return m_history.insert(records);
}

std::expected<qint64, StoreError> ObjectStore::insertPending(const RenameRecord &record)
{
    return onlyId(m_history.insertPending({record}));
}

std::expected<QList<qint64>, StoreError> ObjectStore::insertPending(const QList<RenameRecord> &records)
{
    return m_history.insertPending(records);
}

std::expected<qint64, StoreError> ObjectStore::replacePending(qint64 id, const RenameRecord &record)
{
    return m_history.replacePending(id, record);
}

std::expected<int, StoreError> ObjectStore::finishPending(const QList<qint64> &moved, const QList<qint64> &abandoned,
                                                          const QList<RenameRecord> &found)
{
    return m_history.finishPending(moved, abandoned, found);
}

std::expected<void, StoreError> ObjectStore::confirm(qint64 id)
{
    return m_history.confirm(id);
}

std::expected<ObjectStore::Settlement, StoreError>
ObjectStore::settlePendingRecords(const std::function<bool(const RenameRecord &)> &fileIsAtNewPath)
{
    return m_history.settlePending(fileIsAtNewPath);
}

std::expected<void, StoreError> ObjectStore::save(const RenameRecord &record)
{
    return m_history.save(record);
}

std::expected<QSet<qint64>, StoreError> ObjectStore::beginRevert(const QList<qint64> &ids)
{
    return m_history.beginRevert(ids);
}

std::expected<void, StoreError> ObjectStore::finishRevert(const QList<qint64> &reverted, const QList<qint64> &released,
                                                          const QDateTime &at)
{
    return m_history.finishRevert(reverted, released, at);
}

std::expected<ObjectStore::Settlement, StoreError>
ObjectStore::settleReverts(const std::function<bool(const RenameRecord &)> &fileIsBack)
{
    return m_history.settleReverts(fileIsBack);
}

std::expected<void, StoreError> ObjectStore::removeRecord(qint64 id)
{
    return m_history.remove(id);
}

std::expected<void, StoreError> ObjectStore::removeAllRecords()
{
    return m_history.removeAll();
}

std::expected<QList<RenameRecord>, StoreError> ObjectStore::fetchRecords() const
{
    return m_history.fetch(RecordQuery{});
}

std::expected<QList<RenameRecord>, StoreError> ObjectStore::fetchRecords(const RecordQuery &query) const
{
    return m_history.fetch(query);
}

std::expected<ObjectStore::RecordCount, StoreError> ObjectStore::countRecords(const RecordQuery &query) const
{
    return m_history.count(query);
}

std::expected<RenameRecord, StoreError> ObjectStore::fetchRecord(qint64 id) const
{
    return m_history.fetch(id);
}

std::expected<QSet<QString>, StoreError> ObjectStore::pathsInHistory(const QStringList &paths) const
{
    return m_history.pathsInHistory(paths);
}

std::expected<std::optional<ObjectStore::Batch>, StoreError> ObjectStore::lastBatch() const
{
    return m_history.lastBatch();
}

std::expected<qint64, StoreError> ObjectStore::insert(const NamingTemplate &value)
{
    return m_templates->insert(value);
}

std::expected<void, StoreError> ObjectStore::save(const NamingTemplate &value)
{
    return m_templates->save(value);
}

std::expected<void, StoreError> ObjectStore::removeTemplate(qint64 id)
{
    return m_templates->remove(id);
}

std::expected<QList<NamingTemplate>, StoreError> ObjectStore::fetchTemplates() const
{
    return m_templates->fetchAll();
}

std::expected<NamingTemplate, StoreError> ObjectStore::fetchTemplate(qint64 id) const
{
    return m_templates->fetch(id);
}

std::expected<qint64, StoreError> ObjectStore::insert(const WatchedFolder &value)
{
    return m_folders->insert(value);
}

std::expected<void, StoreError> ObjectStore::save(const WatchedFolder &value)
{
    return m_folders->save(value);
}

std::expected<void, StoreError> ObjectStore::removeFolder(qint64 id)
{
    return m_folders->remove(id);
}

std::expected<QList<WatchedFolder>, StoreError> ObjectStore::fetchFolders() const
{
    return m_folders->fetchAll();
}

std::expected<WatchedFolder, StoreError> ObjectStore::fetchFolder(qint64 id) const
{
    return m_folders->fetch(id);
}

std::expected<void, StoreError> ObjectStore::markWatched(const QList<qint64> &ids, const QDateTime &until)
{
    if (ids.isEmpty())
        return {};
    QSqlQuery query = m_connection->query();
    query.prepare(QStringLiteral("UPDATE watched_folder SET watched_until = ? WHERE id IN (%1)")
                      .arg(StoreValues::placeholders(ids.size())));
    query.addBindValue(StoreValues::moment(until));
    for (const qint64 id : ids)
        query.addBindValue(id);
    return m_connection->exec(query);
}

std::expected<std::optional<QString>, StoreError> ObjectStore::cachedReply(const QString &key,
                                                                           const QDateTime &now) const
{
    return m_results.find(key, now);
}

std::expected<void, StoreError> ObjectStore::keepReply(const QString &key, const QString &reply, const QDateTime &now)
{
    return m_results.keep(key, reply, now);
}

std::expected<qsizetype, StoreError> ObjectStore::countCachedReplies() const
{
    return m_results.count();
}

std::expected<qsizetype, StoreError> ObjectStore::clearCachedReplies()
{
    return m_results.clear();
}

std::expected<void, StoreError> ObjectStore::learnSender(const LearnedSender &sender, const QDateTime &now)
{
    return m_senders.learn(sender, now);
}

std::expected<QList<LearnedSender>, StoreError> ObjectStore::learnedSenders() const
{
    return m_senders.fetchAll();
}

std::expected<qsizetype, StoreError> ObjectStore::forgetSenders()
{
    return m_senders.clear();
}

std::expected<void, StoreError> ObjectStore::keepReview(const QList<ReviewRow> &changed, const QStringList &removed)
{
    return m_review.keep(changed, removed);
}

std::expected<QList<ReviewRow>, StoreError> ObjectStore::reviewRows() const
{
    return m_review.fetchAll();
}
