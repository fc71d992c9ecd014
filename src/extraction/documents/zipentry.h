#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

/**
 * Reading one member of a ZIP archive into memory (libzip; no temporary files, no child
 * process). The archive is the whole file's bytes, as SourceFile::bytes maps them.
 */
namespace ZipEntry {

/**
 * The first `maxBytes` bytes of member `entryName` (exact, case-sensitive path) of `archive`,
 * so a compression bomb is never inflated whole. Nullopt when the archive cannot be opened or
 * has no such member; a member damaged midway gives the bytes before the damage.
 */
[[nodiscard]] std::optional<QByteArray> read(const QByteArray &archive, const QString &entryName, qint64 maxBytes);

/** The member names of `archive`, in directory order; empty when it cannot be opened. */
[[nodiscard]] QStringList names(const QByteArray &archive);

/** The members of `names` called `prefix`, a number and ".xml", by that number ("sheet2" before "sheet10"). */
[[nodiscard]] QStringList numbered(const QStringList &names, QStringView prefix);

} // namespace ZipEntry
