#pragma once

#include <QString>

/** File-name parts as users see them: "a.tar.gz" has the extension "gz", ".bashrc" has none. */
namespace FileNames {

/** The text after the last dot; empty when there is no dot, the only dot leads, or the name ends in one. */
[[nodiscard]] QString extension(const QString &fileName);
/** The name without "." + extension(); the whole name when there is no extension. */
[[nodiscard]] QString baseName(const QString &fileName);

} // namespace FileNames
