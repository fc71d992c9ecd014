#include "filemoves.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace FileMoves {
namespace {

QString describe(int error)
{
    switch (error) {
    case EEXIST:
    case ENOTEMPTY:
        return QStringLiteral("Eine Datei mit diesem Namen existiert bereits");
    case ENOENT:
        return QStringLiteral("Die Datei existiert nicht mehr");
    case EACCES:
    case EPERM:
        return QStringLiteral("Keine Berechtigung");
    case EROFS:
        return QStringLiteral("Das Dateisystem ist schreibgeschützt");
    case ENAMETOOLONG:
        return QStringLiteral("Der Dateiname ist zu lang");
    case ENOSPC:
        return QStringLiteral("Kein Speicherplatz mehr");
    default:
        return QStringLiteral("Umbenennen fehlgeschlagen: ") + QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace

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
