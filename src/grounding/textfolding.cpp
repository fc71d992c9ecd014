#include "textfolding.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace Grounding {

FoldedText FoldedText::fold(QStringView source)
{
    FoldedText folded;
    folded.text.reserve(source.size());
    folded.origin.reserve(source.size());
    bool pendingSpace = false;
    for (qsizetype i = 0; i < source.size();) {
        const QChar c = source.at(i);
        const bool pair = c.isHighSurrogate() && i + 1 < source.size() && source.at(i + 1).isLowSurrogate();
        const char32_t scalar = pair ? QChar::surrogateToUcs4(c, source.at(i + 1)) : c.unicode();
        const qsizetype width = pair ? 2 : 1;
        if (u_isUWhiteSpace(UChar32(scalar))) {
            pendingSpace = !folded.text.isEmpty();
            i += width;
            continue;
        }
        if (pendingSpace) {
            folded.text += u' ';
            folded.origin.append(i - 1);
            pendingSpace = false;
        }
        if (scalar < 0x80) {
            folded.text += QChar(scalar >= u'A' && scalar <= u'Z' ? scalar + 32 : scalar);
            folded.origin.append(i);
        } else {
            icu::UnicodeString one{static_cast<UChar32>(scalar)};
            one.foldCase();
            for (int32_t k = 0; k < one.length(); ++k) {
                const char16_t unit = one.charAt(k);
                // German spells umlauts out where they cannot be typed: "Muenchen" is "München".
                const char16_t vowel = unit == u'ä' ? u'a' : unit == u'ö' ? u'o' : unit == u'ü' ? u'u' : 0;
                folded.text += vowel ? QChar(vowel) : QChar(unit);
                folded.origin.append(i);
                if (vowel) {
                    folded.text += u'e';
                    folded.origin.append(i);
                }
            }
        }
        i += width;
    }
    return folded;
}

QStringView FoldedText::sourceOf(QStringView source, qsizetype start, qsizetype length) const
{
    if (length <= 0 || start < 0 || start + length > origin.size())
        return {};
    const qsizetype from = origin.at(start);
    qsizetype to = origin.at(start + length - 1) + 1;
    // A surrogate pair or a folding that grew a character maps to its first unit; take it whole.
    while (to < source.size() && source.at(to).isLowSurrogate())
        ++to;
    return source.sliced(from, to - from);
}

} // namespace Grounding
