#pragma once

#include <QByteArrayView>
#include <QString>

/**
 * The text of the binary Office formats (Word, Excel and PowerPoint 97 to 2003), read from the
 * streams of their compound file the way desktop search indexers read them. Every length and
 * offset inside a stream is checked against the stream; damage ends the reading with the text
 * found before it. Runs of white space and control characters become one space; the result stops
 * once it holds `maxLength` UTF-16 units.
 */
namespace BinaryOffice {

/**
 * Word: the document's characters through the piece table (the CLX in the table stream the FIB
 * names, `table0` for "0Table" or `table1` for "1Table"), pieces in character-position order,
 * both 8-bit (Windows-1252) and UTF-16 pieces. Field instructions, picture and object anchors are
 * left out, a field's result is kept. Nothing for encrypted documents and those older than Word 97.
 */
[[nodiscard]] QString wordText(QByteArrayView wordDocument, QByteArrayView table0, QByteArrayView table1,
                               qsizetype maxLength);

/**
 * Excel: the text cells of every sheet in stream order (shared strings, with their CONTINUE
 * records, and inline labels; BIFF5 labels as Windows-1252); numbers are not text. Nothing for
 * encrypted workbooks.
 */
[[nodiscard]] QString workbookText(QByteArrayView workbook, qsizetype maxLength);

/**
 * PowerPoint: the text atoms (UTF-16 and 8-bit) of the "PowerPoint Document" stream slide by
 * slide: the slide's titles and bodies from the slide list, its own text boxes, then its notes.
 * The slides are found through the persist directory of the newest edit, which `currentUser` (the
 * "Current User" stream) leads to; when that way is missing or broken, all text atoms come in
 * record order. The sample texts of the slide, notes and handout masters are left out; encrypted
 * presentations give nothing.
 */
[[nodiscard]] QString presentationText(QByteArrayView document, QByteArrayView currentUser, qsizetype maxLength);

} // namespace BinaryOffice
