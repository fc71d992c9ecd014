#pragma once

#include <QString>

#include <optional>

/**
 * Regular expressions in ICU syntax (Unicode `\d`, `\b`, `$1` replacement templates).
 *
 * Compiled patterns are cached per thread by their text and flags, so a pattern that is
 * "compiled per call" costs one hash lookup after its first use; results are the same as
 * compiling afresh. A pattern that does not compile yields std::nullopt everywhere.
 */
namespace IcuRegex {

enum Flag : unsigned {
    NoFlags = 0,
    CaseInsensitive = 1,
};

/** The text of the first match of `pattern` in `text`; nullopt when none (or the pattern is invalid). */
[[nodiscard]] std::optional<QString> firstMatch(const QString &pattern, const QString &text);

/** Every match replaced by the expansion of `replacement`; nullopt when the pattern is invalid. */
[[nodiscard]] std::optional<QString> replaceAll(const QString &pattern, unsigned flags, const QString &text,
                                                const QString &replacement);

/** `text` with every character that is special in a pattern escaped by a backslash. */
[[nodiscard]] QString escaped(const QString &text);

} // namespace IcuRegex
