#include "pdfpagetext.h"

namespace PDFPageText {
namespace {

constexpr QChar SoftHyphen(0x00AD);

// "au-" at a line end: a letter, then a hyphen (typographers' soft hyphen included).
bool endsHyphenated(const QString &word)
{
    return word.size() >= 2 && (word.back() == u'-' || word.back() == SoftHyphen) && word[word.size() - 2].isLetter();
}

} // namespace

QString compose(const std::vector<Word> &words)
{
    QString text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const Word &word = words[i];
        const bool joinNext = word.lineEnd && i + 1 < words.size() && endsHyphenated(word.text) &&
                              !words[i + 1].text.isEmpty() && words[i + 1].text.front().isLower();
        if (joinNext) {
            text += QStringView(word.text).chopped(1);
            continue;
        }
        text += word.text;
        if (word.lineEnd)
            text += u'\n';
        else if (word.spaceAfter)
            text += u' ';
    }
    // Soft hyphens are invisible where the line did not break; runs of spaces count once.
    QString collapsed;
    collapsed.reserve(text.size());
    for (const QChar c : std::as_const(text)) {
        if (c == SoftHyphen)
            continue;
        const bool space = c.isSpace() && c != u'\n';
        if (space && (collapsed.isEmpty() || collapsed.back() == u' ' || collapsed.back() == u'\n'))
            continue;
        collapsed += space ? QChar(u' ') : c;
    }
    if (collapsed.endsWith(u'\n'))
        collapsed.chop(1);
    return collapsed;
}

} // namespace PDFPageText
