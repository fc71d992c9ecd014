#include "icuregex.h"

#include <QHash>

#include <unicode/regex.h>

#include <memory>
#include <unordered_map>

namespace IcuRegex {
namespace {

// The user edits rules rarely; the bound only guards against a script that keeps sending new ones.
constexpr std::size_t MaxCachedPatterns = 128;

icu::UnicodeString aliasOf(const QString &text)
{
    return icu::UnicodeString(false, reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
}

QString toQString(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

struct QStringHash {
    std::size_t operator()(const QString &s) const noexcept { return qHash(s); }
};

// Pattern text -> its reusable matcher; a null matcher records a pattern that does not compile.
using MatcherCache = std::unordered_map<QString, std::unique_ptr<icu::RegexMatcher>, QStringHash>;

icu::RegexMatcher *matcherFor(const QString &pattern, unsigned flags)
{
    thread_local MatcherCache cache[2];
    MatcherCache &table = cache[flags & CaseInsensitive ? 1 : 0];
    auto it = table.find(pattern);
    if (it == table.end()) {
        if (table.size() >= MaxCachedPatterns)
            table.clear();
        UErrorCode status = U_ZERO_ERROR;
        const uint32_t icuFlags = (flags & CaseInsensitive) ? UREGEX_CASE_INSENSITIVE : 0;
        std::unique_ptr<icu::RegexMatcher> matcher(new icu::RegexMatcher(
            icu::UnicodeString(reinterpret_cast<const UChar *>(pattern.utf16()), int32_t(pattern.size())), icuFlags,
            status));
        if (U_FAILURE(status))
            matcher.reset();
        it = table.emplace(pattern, std::move(matcher)).first;
    }
    return it->second.get();
}

// Runs `use` with the matcher reset to `text`, then detaches the matcher from it.
template <typename F>
auto withMatcher(const QString &pattern, unsigned flags, const QString &text, F use)
    -> std::optional<decltype(use(std::declval<icu::RegexMatcher &>()))>
{
    icu::RegexMatcher *matcher = matcherFor(pattern, flags);
    if (!matcher)
        return std::nullopt;
    const icu::UnicodeString input = aliasOf(text);
    matcher->reset(input);
    auto result = use(*matcher);
    matcher->reset(icu::UnicodeString());
    return result;
}

} // namespace

std::optional<QString> firstMatch(const QString &pattern, const QString &text)
{
    auto found = withMatcher(pattern, NoFlags, text, [](icu::RegexMatcher &m) -> std::optional<QString> {
        UErrorCode status = U_ZERO_ERROR;
        if (!m.find(status) || U_FAILURE(status))
            return std::nullopt;
        const icu::UnicodeString group = m.group(status);
        if (U_FAILURE(status))
            return std::nullopt;
        return toQString(group);
    });
    return found ? *found : std::nullopt;
}

std::optional<QString> replaceAll(const QString &pattern, unsigned flags, const QString &text,
                                  const QString &replacement)
{
    return withMatcher(pattern, flags, text, [&](icu::RegexMatcher &m) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString result = m.replaceAll(aliasOf(replacement), status);
        // A template error (such as a reference to a missing group) leaves the text as it was.
        return U_SUCCESS(status) ? toQString(result) : text;
    });
}

QString escaped(const QString &text)
{
    QString result;
    result.reserve(text.size() * 2);
    for (QChar c : text) {
        // Backslash before any ASCII punctuation is a literal in ICU; letters and digits must stay bare.
        if (c.unicode() < 0x80 && !c.isLetterOrNumber() && c != u' ')
            result += u'\\';
        result += c;
    }
    return result;
}

} // namespace IcuRegex
