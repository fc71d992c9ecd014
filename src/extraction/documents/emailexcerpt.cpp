#include "emailexcerpt.h"

#include "common/unicodetext.h"
#include "extraction/filecontext.h"

namespace {

// Lines shorter than this that contain no space are prose; longer ones are encoded blocks.
constexpr qsizetype MinEncodedLineLength = 77;

// Lines between any line breaks; CR LF counts as one break, so blank lines stay.
QList<QStringView> splitLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!UnicodeText::isLineBreak(text[i]))
            continue;
        lines << text.sliced(start, i - start);
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines << text.sliced(start);
    return lines;
}

QString trimmedSpacesAndTabs(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t'))
        ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.sliced(begin, end - begin).toString();
}

// At most two non-empty pieces around the first ':' that has text before it; a leading ':' is dropped.
QList<QStringView> splitHeaderLine(QStringView line)
{
    QList<QStringView> pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != u':')
            continue;
        if (i > start) {
            pieces << line.sliced(start, i - start);
            start = i + 1;
            break;
        }
        start = i + 1;
    }
    if (start < line.size())
        pieces << line.sliced(start);
    return pieces;
}

void readHeaders(QStringView header, MetadataMap &metadata)
{
    for (QStringView line : splitLines(header)) {
        const QList<QStringView> pieces = splitHeaderLine(line);
        if (pieces.size() != 2)
            continue;
        const QString key = UnicodeText::toLowerFull(trimmedSpacesAndTabs(pieces[0]));
        if (key == u"subject" || key == u"from" || key == u"to" || key == u"date")
            metadata.set(key, trimmedSpacesAndTabs(pieces[1]));
    }
}

QString readBody(QStringView body)
{
    QString text;
    qsizetype length = 0; // grapheme clusters; a line feed always ends one
    for (QStringView line : splitLines(body)) {
        if (line.startsWith(u"--") || line.startsWith(u"Content-"))
            continue;
        const qsizetype lineLength = UnicodeText::graphemeCount(line);
        if (lineLength >= MinEncodedLineLength && !line.contains(u' '))
            continue;
        text += line;
        text += u'\n';
        length += lineLength + 1;
        if (length > EmailExcerpt::MaxBodyLength)
            break;
    }
    return text;
}

} // namespace

EmailExcerpt EmailExcerpt::fromMessage(const QString &message)
{
    EmailExcerpt excerpt;
    excerpt.metadata.set(QStringLiteral("source"), QStringLiteral("eml"));

    QStringView header = message;
    QStringView body;
    qsizetype separator = message.indexOf(u"\r\n\r\n");
    qsizetype separatorLength = 4;
    if (separator < 0) {
        separator = message.indexOf(u"\n\n");
        separatorLength = 2;
    }
    if (separator >= 0) {
        header = QStringView(message).first(separator);
        body = QStringView(message).sliced(separator + separatorLength);
    }

    readHeaders(header, excerpt.metadata);
    const QString text = formatMetadata(excerpt.metadata).join(u'\n') + QStringLiteral("\n\n")
                         + readBody(body).trimmed();
    excerpt.text = UnicodeText::leftGraphemes(text, TextLimits::Document);
    return excerpt;
}
