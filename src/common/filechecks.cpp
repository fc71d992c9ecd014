#include "filechecks.h"

#include "common/stringtable.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>

namespace FileChecks {
namespace {

// Mount types whose files are kernel interfaces, not documents, wherever they are mounted.
// tmpfs is not among them (/tmp is one), so /dev and /run are recognised by place instead.
bool isPseudoFileSystem(const struct statfs &info)
{
    constexpr unsigned long ConfigFsMagic = 0x62656570, FuseCtlMagic = 0x65735543, MqueueMagic = 0x19800202,
                            RpcPipeFsMagic = 0x67596969;
    switch (static_cast<unsigned long>(info.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case PSTOREFS_MAGIC:
    case EFIVARFS_MAGIC:
    case BPF_FS_MAGIC:
    case BINFMTFS_MAGIC:
    case HUGETLBFS_MAGIC:
    case NSFS_MAGIC:
    case ConfigFsMagic:
    case FuseCtlMagic:
    case MqueueMagic:
    case RpcPipeFsMagic:
        return true;
    default:
        return false;
    }
}

constexpr std::array<const char *, 4> SystemTrees{"/proc", "/sys", "/dev", "/run"};

bool inSystemTree(const QByteArray &resolved)
{
    return std::ranges::any_of(
        SystemTrees, [&](const char *tree) { return resolved == tree || resolved.startsWith(QByteArray(tree) + '/'); });
}

/** The string table's id for what kind of file `mode` is. */
const char *kindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return "file.kind.link";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "file.kind.device";
    if (S_ISFIFO(mode))
        return "file.kind.fifo";
    if (S_ISSOCK(mode))
        return "file.kind.socket";
    if (S_ISDIR(mode))
        return "file.kind.folder";
    return "file.kind.special";
}

} // namespace

std::optional<QString> refusal(const QString &path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        // A name that is not UTF-8 reaches us with U+FFFD in place of its bytes, under which no file exists.
        if (QFileInfo(path).fileName().contains(QChar::ReplacementCharacter))
            return StringTable::text("file.notUtf8").arg(QFileInfo(path).fileName());
        return std::nullopt;
    }
    const char *kind = nullptr;
    if (!S_ISREG(info.st_mode))
        kind = kindOf(info.st_mode);
    else if (inSystemArea(path))
        kind = "file.kind.system";
    else
        return std::nullopt;
    return StringTable::text("file.notRegular").arg(QFileInfo(path).fileName(), StringTable::text(kind));
}

bool inSystemArea(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct statfs fileSystem = {};
    if (::statfs(encoded.constData(), &fileSystem) == 0 && isPseudoFileSystem(fileSystem))
        return true;
    char resolved[PATH_MAX];
    return ::realpath(encoded.constData(), resolved) && inSystemTree(QByteArray(resolved));
}

std::optional<Identity> identity(const QString &path)
{
    return identity(AT_FDCWD, QFile::encodeName(path));
}

std::optional<Identity> identity(int folder, const QByteArray &name)
{
    struct stat info = {};
    if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return Identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

SystemFolders::SystemFolders()
{
    for (std::size_t i = 0; i < SystemTrees.size(); ++i) {
        struct stat info = {};
        if (::stat(SystemTrees[i], &info) == 0)
            m_trees[i] = Tree{info.st_dev, info.st_ino, true};
    }
}

bool SystemFolders::contains(int fd) const
{
    struct stat info = {};
    const auto isFolder = [&](const Tree &tree) {
        return tree.known && tree.device == info.st_dev && tree.inode == info.st_ino;
    };
    if (::fstat(fd, &info) == 0 && std::ranges::any_of(m_trees, isFolder))
        return true;
    struct statfs fileSystem = {};
    return ::fstatfs(fd, &fileSystem) == 0 && isPseudoFileSystem(fileSystem);
}

} // namespace FileChecks
