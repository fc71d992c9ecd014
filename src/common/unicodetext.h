#pragma once

#include <QString>
#include <QStringList>

/**
 * Text operations in user-perceived characters (extended grapheme clusters), with full
 * Unicode case mapping and canonical equivalence. Every length limit of the system counts
 * with these, never with bytes or UTF-16 units.
 */
namespace UnicodeText {

[[nodiscard]] qsizetype graphemeCount(QStringView text);

/** The first `count` grapheme clusters of `text` (all of it when it has fewer). */
[[nodiscard]] QString leftGraphemes(const QString &text, qsizetype count);

/** `text` split into its grapheme clusters, in order. */
[[nodiscard]] QStringList graphemes(QStringView text);

/** Removes space separators (category Zs) and tabs from both ends; line breaks stay. */
[[nodiscard]] QString trimmedSpaces(const QString &text);

/** Locale-independent full case mapping ("ß" upper-cases to "SS"). */
[[nodiscard]] QString toLowerFull(const QString &text);
[[nodiscard]] QString toUpperFull(const QString &text);

[[nodiscard]] QString nfc(const QString &text);

/** A line break in the Unicode sense (LF, VT, FF, CR, NEL, LS, PS): what a regex "." never matches. */
[[nodiscard]] bool isLineBreak(QChar c);

/** Whether the scalar is a letter, a mark or a number (general categories L*, M*, N*). */
[[nodiscard]] bool isLetterMarkOrNumber(char32_t scalar);

} // namespace UnicodeText
