#include "automation/watchedfolders.h"

#include "common/stringtable.h"
#include "store/objectstore.h"

namespace WatchedFolders {

namespace {

Failure storeFailure(const StoreError &error)
{
    return {Failure::Code::store, error.message()};
}

Failure alreadyWatched(const QString &path)
{
    return {Failure::Code::alreadyWatched, StringTable::text("watch.alreadyWatched").arg(path)};
}

} // namespace

std::optional<WatchedFolder> withPath(const ObjectStore &store, const QString &path)
{
    for (const WatchedFolder &folder : store.fetchFolders().value_or(QList<WatchedFolder>())) {
        if (folder.path == path)
            return folder;
    }
    return std::nullopt;
}

std::expected<WatchedFolder, Failure> add(ObjectStore &store, const QString &path, bool autoRename)
{
    if (withPath(store, path))
        return std::unexpected(alreadyWatched(path));
    WatchedFolder folder{0, path, true, autoRename, std::nullopt, QDateTime::currentDateTimeUtc(), {}};
    const std::expected<qint64, StoreError> inserted = store.insert(folder);
    if (!inserted)
        return std::unexpected(storeFailure(inserted.error()));
    folder.id = *inserted;
    return folder;
}

std::expected<WatchedFolder, Failure> change(ObjectStore &store, const QString &path, const Change &change)
{
    std::optional<WatchedFolder> folder = withPath(store, path);
    if (!folder)
        return std::unexpected(Failure{Failure::Code::notFound, StringTable::text("watch.notFound").arg(path)});
    if (change.path && *change.path != folder->path) {
        if (withPath(store, *change.path))
            return std::unexpected(alreadyWatched(*change.path));
        folder->path = *change.path;
        // Another folder starts from now, like a new entry: what lay there before is not caught up.
        if (const auto marked = store.markWatched({folder->id}, QDateTime::currentDateTimeUtc()); !marked)
            return std::unexpected(storeFailure(marked.error()));
    }
    folder->isActive = change.active.value_or(folder->isActive);
    folder->autoRename = change.autoRename.value_or(folder->autoRename);
    if (change.templateName)
        folder->templateName = change.templateName->isEmpty() ? std::nullopt : change.templateName;
    if (const std::expected<void, StoreError> saved = store.save(*folder); !saved)
        return std::unexpected(storeFailure(saved.error()));
    return *folder;
}

std::expected<void, Failure> remove(ObjectStore &store, const QString &path)
{
    const std::optional<WatchedFolder> folder = withPath(store, path);
    if (!folder)
        return std::unexpected(Failure{Failure::Code::notFound, StringTable::text("watch.notFound").arg(path)});
    if (const std::expected<void, StoreError> removed = store.removeFolder(folder->id); !removed)
        return std::unexpected(storeFailure(removed.error()));
    return {};
}

} // namespace WatchedFolders
