#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

/** The readable parts of an HTML page. */
namespace HTMLText {

/**
 * The visible text of an HTML5 document given as UTF-8: no script, style, head, template or
 * noscript content; blocks and <br> give line breaks, table cells tabs, other white space
 * collapses to single spaces. Stops once `maxLength` UTF-16 units are collected, and reads
 * nothing after the 16 384th tag, which bounds the parse time of pathological nesting. Nullopt
 * when the parser gives up (it accepts any input, so only when out of memory).
 */
[[nodiscard]] std::optional<QString> visibleText(const QByteArray &utf8, qsizetype maxLength);

/**
 * The first case-sensitive "<title>…</title>" on a single line with at least one character
 * inside, with every "<title>" and "</title>" in that match removed; untrimmed, entities kept.
 * Nullopt when there is none. Linear in the length of `html`.
 */
[[nodiscard]] std::optional<QString> title(const QString &html);

} // namespace HTMLText
