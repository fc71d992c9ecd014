#pragma once

#include "store/storeerror.h"
#include "store/watchedfolder.h"

#include <QString>

#include <expected>
#include <optional>

class ObjectStore;

/**
 * Adding, changing and removing watched folders, the same for the window and the REST API: a
 * folder is watched once (a second entry for its path is refused), and every change goes
 * through the store, whose change signal re-synchronises the watchers.
 */
namespace WatchedFolders {

struct Failure {
    enum class Code { alreadyWatched, notFound, store };
    Code code;
    QString message; ///< German
};

/** What a change sets; absent parts stay as they are. An empty template name clears it. */
struct Change {
    std::optional<QString> path;
    std::optional<bool> active;
    std::optional<bool> autoRename;
    std::optional<QString> templateName;
};

[[nodiscard]] std::optional<WatchedFolder> withPath(const ObjectStore &store, const QString &path);
std::expected<WatchedFolder, Failure> add(ObjectStore &store, const QString &path, bool autoRename = false);
std::expected<WatchedFolder, Failure> change(ObjectStore &store, const QString &path, const Change &change);
std::expected<void, Failure> remove(ObjectStore &store, const QString &path);

} // namespace WatchedFolders
