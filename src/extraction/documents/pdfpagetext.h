#pragma once

#include <QString>

#include <vector>

/**
 * A page's text from its words in Poppler's reading order (the order of its text boxes: lines
 * grouped into blocks and columns, as `pdftotext` reads them), rather than the physical layout,
 * which interleaves columns line by line and pads with spaces. Runs of white space inside a line
 * become one space, and a word hyphenated across a line end ("au-" + "tomatically") is joined
 * when the next line goes on in lower case. Poppler gives each line left to right as printed;
 * lines with right-to-left letters are put back into the order they were written in (the bidi
 * algorithm over the printed line; the base direction that of the letters at both ends of the
 * line, else the page's main one), marks kept after the sign they belong to, and Arabic
 * presentation forms become the letters they show.
 */
namespace PDFPageText {

struct Word {
    QString text;
    bool spaceAfter = false; ///< a gap before the next word of the same line
    bool lineEnd = false;    ///< no further word on this line
};

/** The page text, lines joined with line feeds (none after the last). */
[[nodiscard]] QString compose(const std::vector<Word> &words);

} // namespace PDFPageText
