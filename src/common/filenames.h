#pragma once

#include <QString>

/** File-name parts as users see them: "a.tar.gz" has the extension "gz", ".bashrc" has none. */
namespace FileNames {

/** The text after the last dot; empty when there is no dot, the only dot leads, or the name ends in one. */
[[nodiscard]] QString extension(const QString &fileName);
/** The name without "." + extension(); the whole name when there is no extension. */
[[nodiscard]] QString baseName(const QString &fileName);

/** Whether a new name keeps the file's extension (compared without case, "PDF" is "pdf"). */
[[nodiscard]] bool sameExtension(const QString &fileName, const QString &newName);
/** `newName` with the extension of `fileName` in place of its own (without one when that has none). */
[[nodiscard]] QString withExtensionOf(const QString &newName, const QString &fileName);

} // namespace FileNames
