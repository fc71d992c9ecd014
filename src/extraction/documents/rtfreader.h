#pragma once

#include <QByteArray>
#include <QString>

/**
 * Plain text of an RTF document: groups, control words, `\uN` with its `\ucN` fallback skip,
 * `\'hh` bytes decoded with the document code page (`\ansicpg`, default 1252), and the usual
 * non-text destinations (font and colour tables, style sheet, document info, pictures, headers,
 * footers, field instructions, anything marked `\*`) left out. Paragraph and line breaks become
 * line feeds, `\tab` a tab.
 *
 * Runs in time linear in the input and iteratively, so deep nesting cannot exhaust the stack.
 */
namespace RTFReader {

/** Deeper groups than this share their parent's state; the text inside them is still read. */
inline constexpr int MaxTrackedDepth = 1024;

/**
 * The text of `rtf`, stopping once it reaches `maxLength` UTF-16 units. Empty when the bytes
 * do not start with "{\rtf" (leading white space allowed).
 */
[[nodiscard]] QString plainText(const QByteArray &rtf, qsizetype maxLength);

} // namespace RTFReader
