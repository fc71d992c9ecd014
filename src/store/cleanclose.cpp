#include "cleanclose.h"

#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

#include <array>
#include <optional>

namespace {

QString notePath(const QString &storePath)
{
    return storePath + QStringLiteral(".clean");
}

bool journalLeft(const QString &storePath)
{
    return QFile::exists(storePath + QStringLiteral("-wal"));
}

std::optional<struct stat> statusOf(const QString &path)
{
    struct stat status {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return status;
}

qint64 nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

QByteArray describe(const struct stat &status)
{
    const std::array<qint64, 5> fields = {qint64(status.st_dev), qint64(status.st_ino), qint64(status.st_size),
                                          nanoseconds(status.st_mtim), nanoseconds(status.st_ctim)};
    QByteArray text;
    for (const qint64 field : fields)
        text += QByteArray::number(field) + ' ';
    return text.trimmed() + '\n';
}

} // namespace

void CleanClose::record(const QString &storePath)
{
    const auto status = statusOf(storePath);
    if (!status || journalLeft(storePath))
        return;
    // Not worth an fsync: a note lost in a crash only costs the next start one full check.
    QSaveFile note(notePath(storePath));
    note.setDirectWriteFallback(false);
    if (note.open(QIODevice::WriteOnly) && note.write(describe(*status)) >= 0)
        (void)note.commit();
}

bool CleanClose::holds(const QString &storePath)
{
    const auto status = statusOf(storePath);
    const auto noted = statusOf(notePath(storePath));
    if (!status || !noted || journalLeft(storePath) || noted->st_size > 200)
        return false;
    if (nanoseconds(status->st_ctim) >= nanoseconds(noted->st_ctim))
        return false;
    QFile note(notePath(storePath));
    return note.open(QIODevice::ReadOnly) && note.readAll() == describe(*status);
}
