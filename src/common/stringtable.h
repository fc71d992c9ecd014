#pragma once

#include <QString>

/**
 * The app's German texts: one string table (translations/namorix_de.ts, embedded in the core) for
 * every face, the window, the tray, the REST API and notifications alike. The core names a text
 * by its id; the table gives the words, with plural forms where a number goes in.
 */
namespace StringTable {

/** Installs the table in the running application, once; texts() does it on first use. */
void install();

/** The text of `id`; `count` picks the plural form and fills in "%n". */
[[nodiscard]] QString text(const char *id, int count = -1);

} // namespace StringTable
