#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

/** Reading an HTML page in the character encoding it declares. */
namespace HTMLCharset {

/**
 * The encoding `html` declares, lower-cased: an XML declaration's encoding, else the first
 * <meta charset> or <meta http-equiv="Content-Type" content="…; charset=…"> outside comments
 * within the first 8 KiB. Empty when there is none. The byte-order mark is not looked at.
 */
[[nodiscard]] QByteArray declaredLabel(QByteArrayView html);

/**
 * `html` as text: by its byte-order mark (UTF-8, UTF-16LE/BE), else by its declared encoding
 * through ICU, else (nothing declared, or an encoding ICU does not know) as UTF-8 when the bytes
 * are valid UTF-8, else as Windows-1252 unless they hold control bytes other than white space
 * (then nothing: not a page). A declared UTF-16 or UTF-32 without a mark
 * means UTF-8; ISO-8859-1 and US-ASCII mean Windows-1252, as in browsers. Bytes the encoding
 * does not map become U+FFFD. `complete` false: `html` is a prefix cut at an arbitrary byte, and
 * an incomplete character at its end is dropped.
 */
[[nodiscard]] QString decode(QByteArrayView html, bool complete);

/**
 * Bytes that declare no encoding, as the HTML standard reads such a page: as UTF-8 when they
 * are valid UTF-8 (a byte-order mark is kept), else as Windows-1252, so one stray Latin-1 byte
 * costs no text; empty when they are not UTF-8 and hold control bytes other than white space
 * (a binary file). Plain text of the pre-Unicode years is read the same way.
 */
[[nodiscard]] QString decodeUndeclared(QByteArrayView bytes, bool complete);

} // namespace HTMLCharset
