#include "unicodetext.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <memory>

namespace UnicodeText {
namespace {

icu::UnicodeString aliasOf(QStringView text)
{
    // Read-only alias: no copy, valid while `text` lives.
    return icu::UnicodeString(false, reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
}

QString toQString(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

// Below U+0300 every UTF-16 unit but CR (which joins a following LF) is a cluster of its own.
bool isTrivialForClusters(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x300 || c.unicode() == u'\r')
            return false;
    }
    return true;
}

// Creating a break iterator costs far more than using one; keep one per thread.
icu::BreakIterator *characterIterator()
{
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(it) : nullptr;
    }();
    return iterator.get();
}

// Calls `onBoundary(position)` for each cluster end, in order, until it returns false.
template <typename F> void forEachClusterEnd(QStringView text, F onBoundary)
{
    if (isTrivialForClusters(text)) {
        for (qsizetype i = 1; i <= text.size(); ++i) {
            if (!onBoundary(i))
                return;
        }
        return;
    }
    icu::BreakIterator *it = characterIterator();
    const icu::UnicodeString alias = aliasOf(text);
    if (!it) { // no ICU data: fall back to UTF-16 units
        for (qsizetype i = 1; i <= text.size(); ++i) {
            if (!onBoundary(i))
                return;
        }
        return;
    }
    it->setText(alias);
    it->first();
    for (int32_t end = it->next(); end != icu::BreakIterator::DONE; end = it->next()) {
        if (!onBoundary(qsizetype(end)))
            break;
    }
    it->setText(icu::UnicodeString()); // drop the alias before the text goes away
}

} // namespace

qsizetype graphemeCount(QStringView text)
{
    qsizetype count = 0;
    forEachClusterEnd(text, [&](qsizetype) {
        ++count;
        return true;
    });
    return count;
}

QString leftGraphemes(const QString &text, qsizetype count)
{
    if (count <= 0)
        return {};
    if (text.size() <= count)
        return text; // a cluster has at least one unit
    qsizetype end = 0;
    qsizetype seen = 0;
    forEachClusterEnd(text, [&](qsizetype position) {
        end = position;
        return ++seen < count;
    });
    return text.left(end);
}

QStringList graphemes(QStringView text)
{
    QStringList result;
    qsizetype start = 0;
    forEachClusterEnd(text, [&](qsizetype end) {
        result << text.mid(start, end - start).toString();
        start = end;
        return true;
    });
    return result;
}

QString trimmedSpaces(const QString &text)
{
    auto isSpace = [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpace(text.at(begin)))
        ++begin;
    while (end > begin && isSpace(text.at(end - 1)))
        --end;
    return (begin == 0 && end == text.size()) ? text : text.mid(begin, end - begin);
}

QString toLowerFull(const QString &text)
{
    icu::UnicodeString s(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
    return toQString(s.toLower(icu::Locale::getRoot()));
}

QString toUpperFull(const QString &text)
{
    icu::UnicodeString s(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
    return toQString(s.toUpper(icu::Locale::getRoot()));
}

QString nfc(const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return text;
    const icu::UnicodeString alias = aliasOf(text);
    if (normalizer->isNormalized(alias, status) && U_SUCCESS(status))
        return text;
    status = U_ZERO_ERROR;
    const icu::UnicodeString result = normalizer->normalize(alias, status);
    return U_SUCCESS(status) ? toQString(result) : text;
}

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case 0x85:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

bool isLetterMarkOrNumber(char32_t scalar)
{
    return (U_GET_GC_MASK(UChar32(scalar)) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
}

} // namespace UnicodeText
