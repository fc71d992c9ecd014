#pragma once

#include "naming/renamerules.h"

#include <QString>

struct AIExtraction;

/**
 * Turns extracted fields into a complete file name under the rename rules. Pure: it reads the
 * rules' current values and changes nothing, and it never fails — whatever the input, the base
 * name is non-empty ("unnamed" as the last resort).
 *
 * Decisions where the rules leave room:
 * - An empty extension gives a name without a trailing dot (files without an extension keep
 *   having none).
 * - A negative `maxLength` acts as 0: the name is cut to nothing and becomes "unnamed", the
 *   same as a limit of 0 would give.
 */
namespace NameBuilder {

[[nodiscard]] QString buildFileName(const AIExtraction &extraction, const RenameRules &rules,
                                    const QString &fileExtension);

/** A date as the model wrote it, to "YYYY-MM-DD" where it can be recognised; else trimmed text. */
[[nodiscard]] QString normalizeDocumentDate(const QString &text);
/** Reorders the three "-"-separated pieces of `text` for `style`; other text is returned as is. */
[[nodiscard]] QString formatDocumentDate(const QString &text, DateFormatStyle style);
[[nodiscard]] QString applyCasing(const QString &text, CasingStyle style);
/** ä→ae … ß→ss, matching canonically equivalent forms (a + U+0308) too. */
[[nodiscard]] QString replacingUmlauts(const QString &text);

/** The fixed extraction the rule previews are built from, with its extension "pdf". */
[[nodiscard]] AIExtraction previewSample();
inline constexpr char16_t PreviewExtension[] = u"pdf";
[[nodiscard]] QString previewFileName(const RenameRules &rules);

} // namespace NameBuilder
