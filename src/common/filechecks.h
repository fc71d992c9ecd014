#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <sys/types.h>

/**
 * Which paths Namorix may read and rename: regular files outside the system's virtual and
 * runtime trees. Nothing here follows a symbolic link or opens a file, so a FIFO or a device
 * can never block a check.
 */
namespace FileChecks {

/**
 * Why `path` is neither analysed nor renamed, in German ("Keine reguläre Datei: name (FIFO)"):
 * a folder, symbolic link, device, FIFO or socket, or a file in a system area (`inSystemArea`).
 * Nothing for a regular file elsewhere, and nothing when no file is there (callers say that),
 * unless the name lost bytes that are not UTF-8 ("Dateiname nicht in UTF-8: …").
 */
[[nodiscard]] std::optional<QString> refusal(const QString &path);

/**
 * Whether `path` (a folder or file) lies on a kernel pseudo file system (proc, sysfs, devpts,
 * cgroup, debugfs, …) or, resolved, at or below /proc, /sys, /dev or /run.
 */
[[nodiscard]] bool inSystemArea(const QString &path);

/** What tells one version of a file from another under the same name (a replacement, a rewrite). */
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;

    bool operator==(const Identity &) const = default;
};

/** The identity of what is at `path` (a link is not followed); nothing when nothing is there. */
[[nodiscard]] std::optional<Identity> identity(const QString &path);
/** The same for the entry `name` of the open folder `folder` (or `AT_FDCWD`). */
[[nodiscard]] std::optional<Identity> identity(int folder, const QByteArray &name);

/** The same rule for the open folders of a walk, which never resolves paths. */
class SystemFolders final
{
public:
    SystemFolders(); ///< notes which folders /proc, /sys, /dev and /run are now
    /** Whether the open folder `fd` is one of those (reached by any path) or on a pseudo file system. */
    [[nodiscard]] bool contains(int fd) const;

private:
    struct Tree {
        dev_t device = 0;
        ino_t inode = 0;
        bool known = false;
    };
    std::array<Tree, 4> m_trees;
};

} // namespace FileChecks
