#include "filemoves.h"
#include "common/stringtable.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileMoves {
namespace {

QString describe(int error)
{
    switch (error) {
    case EEXIST:
    case ENOTEMPTY:
        return StringTable::text("move.exists");
    case ENOENT:
        return StringTable::text("move.missing");
    case EACCES:
    case EPERM:
        return StringTable::text("move.permission");
    case EROFS:
        return StringTable::text("move.readOnly");
    case ENAMETOOLONG:
        return StringTable::text("move.nameTooLong");
    case ENOSPC:
        return StringTable::text("move.noSpace");
    default:
        return StringTable::text("move.failed").arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

// A path's folder, opened once, and its last component: a check and a move through it reach the
// same folder even when a folder above is renamed or replaced in between.
class Entry final
{
public:
    explicit Entry(const QString &path)
    {
        const QByteArray encoded = QFile::encodeName(path);
        const qsizetype slash = encoded.lastIndexOf('/');
        m_name = encoded.mid(slash + 1);
        const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : encoded.left(slash);
        m_folder = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    ~Entry()
    {
        if (m_folder >= 0)
            ::close(m_folder);
    }
    Q_DISABLE_COPY_MOVE(Entry)

    [[nodiscard]] int folder() const { return m_folder; }
    [[nodiscard]] const QByteArray &name() const { return m_name; }

private:
    int m_folder = -1;
    QByteArray m_name;
};

} // namespace

std::expected<void, MoveRefusal> moveIfSameFile(const QString &from, const QString &to,
                                                const std::optional<FileChecks::Identity> &expected)
{
    using Reason = MoveRefusal::Reason;
    const Entry source(from);
    if (source.folder() < 0)
        return std::unexpected(MoveRefusal{Reason::missing, {}});
    const std::optional<FileChecks::Identity> found = FileChecks::identity(source.folder(), source.name());
    if (!found)
        return std::unexpected(MoveRefusal{Reason::missing, {}});
    if (expected && *found != *expected)
        return std::unexpected(MoveRefusal{Reason::otherFile, {}});
    const Entry target(to);
    if (target.folder() < 0)
        return std::unexpected(MoveRefusal{Reason::failed, describe(errno)});
    // What remains is the moment between the check and the move: a file put under the name in
    // those microseconds would be moved instead (never over another; Linux moves by name only).
    if (::renameat2(source.folder(), source.name().constData(), target.folder(), target.name().constData(),
                    RENAME_NOREPLACE) != 0)
        return std::unexpected(
            MoveRefusal{errno == EEXIST || errno == ENOTEMPTY ? Reason::occupied : Reason::failed, describe(errno)});
    return {};
}

std::expected<void, QString> moveNoReplace(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return {};
    return std::unexpected(describe(errno));
}

bool nameTaken(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

std::optional<ModificationTime> modificationTime(const QString &path)
{
    struct statx info = {};
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW, STATX_MTIME, &info) != 0 ||
        !(info.stx_mask & STATX_MTIME))
        return std::nullopt;
    return ModificationTime{qint64(info.stx_mtime.tv_sec), qint64(info.stx_mtime.tv_nsec)};
}

void restoreModificationTime(const QString &path, const ModificationTime &time)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(time.seconds), long(time.nanoseconds)}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

} // namespace FileMoves
