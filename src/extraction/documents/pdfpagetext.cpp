#include "pdfpagetext.h"

#include <QStringList>

#include <unicode/ubidi.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <memory>

namespace PDFPageText {
namespace {

constexpr QChar SoftHyphen(0x00AD);

// "au-" at a line end: a letter, then a hyphen (typographers' soft hyphen included).
bool endsHyphenated(const QString &line)
{
    return line.size() >= 2 && (line.back() == u'-' || line.back() == SoftHyphen) && line[line.size() - 2].isLetter();
}

// Runs of white space count once; none at the ends.
QString collapsed(const QString &line)
{
    QString out;
    out.reserve(line.size());
    for (const QChar c : line) {
        const bool space = c.isSpace();
        if (space && (out.isEmpty() || out.back() == u' '))
            continue;
        out += space ? QChar(u' ') : c;
    }
    if (out.endsWith(u' '))
        out.chop(1);
    return out;
}

bool isArabicPresentationForm(QChar c)
{
    return (c.unicode() >= 0xFB50 && c.unicode() <= 0xFDFF) || (c.unicode() >= 0xFE70 && c.unicode() <= 0xFEFF);
}

// Shaped Arabic glyphs map to presentation forms ("ﻣﺮﺣﺒﺎ"); the letters they stand for are the
// text. After reordering: a ligature ("ﻻ") stands for letters in written order.
QString withoutPresentationForms(const QString &line)
{
    if (std::none_of(line.cbegin(), line.cend(), isArabicPresentationForm))
        return line;
    QString out;
    out.reserve(line.size());
    for (const QChar c : line)
        out += isArabicPresentationForm(c) ? QString(c).normalized(QString::NormalizationForm_KC) : QString(c);
    return out;
}

bool isMark(QChar c)
{
    return u_charDirection(c.unicode()) == U_DIR_NON_SPACING_MARK;
}

// A sign without a direction of its own that was shaped left to right inside a right-to-left
// line ("◌ِّ" in a font's chart) has its marks to its right, and the reordering puts them in
// front of it. Marks at the start of a word belong to nothing there: they go after such a sign.
QString marksAfterNeutralSigns(QString line)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (!isMark(line[i]) || (i > 0 && !line[i - 1].isSpace()))
            continue;
        qsizetype end = i;
        while (end < line.size() && isMark(line[end]))
            ++end;
        if (end < line.size() && u_charDirection(line[end].unicode()) == U_OTHER_NEUTRAL) {
            const QChar sign = line[end];
            line.remove(end, 1);
            line.insert(i, sign);
        }
        i = end;
    }
    return line;
}

enum class Direction { None, LeftToRight, RightToLeft };

Direction strongDirection(QChar c)
{
    switch (u_charDirection(c.unicode())) {
    case U_RIGHT_TO_LEFT:
    case U_RIGHT_TO_LEFT_ARABIC:
        return Direction::RightToLeft;
    case U_LEFT_TO_RIGHT:
        return Direction::LeftToRight;
    default:
        return Direction::None;
    }
}

// Poppler gives a line's characters as they stand on the page, left to right; right-to-left
// text is stored the other way round. Reordering is its own inverse wherever the runs are
// unambiguous, so the Unicode bidi algorithm applied to the line as printed recovers the order
// it was written in, numbers and Latin words inside it kept left to right. (ICU's inverse modes
// get that wrong: "EUR 2024 49.99" came out as "49.99 2024 EUR", "2024 49.99" as "49.99 2024".)
// Brackets are mirrored back: shapers draw the mirrored glyph of "(" but map it to "(". A line
// that starts and ends in one direction on the page runs in it; one with a Latin word at one end
// (a paragraph's short last line, say) runs in the page's main direction.
QString logicalOrder(const QString &visual, Direction pageDirection)
{
    if (std::none_of(visual.cbegin(), visual.cend(),
                     [](QChar c) { return strongDirection(c) == Direction::RightToLeft; }))
        return visual;
    const auto strong = [](QChar c) { return strongDirection(c) != Direction::None; };
    const Direction left = strongDirection(*std::find_if(visual.cbegin(), visual.cend(), strong));
    const Direction right = strongDirection(*std::find_if(visual.crbegin(), visual.crend(), strong));
    const bool rightToLeft = left == right ? left == Direction::RightToLeft : pageDirection == Direction::RightToLeft;

    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UBiDi, decltype(&ubidi_close)> bidi(ubidi_openSized(int32_t(visual.size()), 0, &status),
                                                              &ubidi_close);
    if (U_FAILURE(status))
        return visual;
    ubidi_setPara(bidi.get(), reinterpret_cast<const UChar *>(visual.utf16()), int32_t(visual.size()),
                  rightToLeft ? UBIDI_RTL : UBIDI_LTR, nullptr, &status);
    QString logical(visual.size() * 2, Qt::Uninitialized);
    const int32_t length =
        ubidi_writeReordered(bidi.get(), reinterpret_cast<UChar *>(logical.data()), int32_t(logical.size()),
                             UBIDI_DO_MIRRORING | UBIDI_REMOVE_BIDI_CONTROLS, &status);
    if (U_FAILURE(status))
        return visual;
    logical.truncate(length);
    return marksAfterNeutralSigns(logical);
}

// The direction most of the page's letters run in.
Direction mainDirection(const QStringList &lines)
{
    qsizetype rightToLeft = 0, leftToRight = 0;
    for (const QString &line : lines)
        for (const QChar c : line) {
            const Direction direction = strongDirection(c);
            rightToLeft += direction == Direction::RightToLeft ? 1 : 0;
            leftToRight += direction == Direction::LeftToRight ? 1 : 0;
        }
    return rightToLeft > leftToRight ? Direction::RightToLeft : Direction::LeftToRight;
}

} // namespace

QString compose(const std::vector<Word> &words)
{
    QStringList lines;
    QString line;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const Word &word = words[i];
        line += word.text;
        if (word.spaceAfter && !word.lineEnd)
            line += u' ';
        if (word.lineEnd || i + 1 == words.size()) {
            lines << line;
            line.clear();
        }
    }
    const Direction pageDirection = mainDirection(lines);
    for (QString &visual : lines)
        visual = collapsed(withoutPresentationForms(logicalOrder(visual, pageDirection)));
    lines.removeAll(QString());

    QString text;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool joinNext = i + 1 < lines.size() && endsHyphenated(lines[i]) && lines[i + 1].front().isLower();
        if (joinNext) {
            text += QStringView(lines[i]).chopped(1);
            continue;
        }
        text += lines[i];
        if (i + 1 < lines.size())
            text += u'\n';
    }
    // Soft hyphens are invisible where the line did not break.
    text.remove(SoftHyphen);
    return text;
}

} // namespace PDFPageText
