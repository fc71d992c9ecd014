#include "emailexcerpt.h"

#include "common/unicodetext.h"
#include "extraction/filecontext.h"

#include <QSet>

#include <algorithm>
#include <utility>

namespace {

// Lines shorter than this that contain no space are prose; longer ones are encoded blocks.
constexpr qsizetype MinEncodedLineLength = 77;
// Shorter lines of base64 characters are words or numbers, unless they end a base64 run.
constexpr qsizetype MinBase64LineLength = 40;

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

bool isSpaceOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The value of parameter `name` (lower case) in a header value such as `multipart/mixed; boundary="x"`.
QString parameter(const QString &value, QStringView name)
{
    for (QStringView piece : QStringView(value).split(u';')) {
        piece = piece.trimmed();
        const qsizetype equals = piece.indexOf(u'=');
        if (equals < 0 || piece.first(equals).trimmed().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        QStringView result = piece.sliced(equals + 1).trimmed();
        if (result.size() >= 2 && result.startsWith(u'"') && result.endsWith(u'"'))
            result = result.sliced(1, result.size() - 2);
        return result.toString();
    }
    return {};
}

// What a MIME header block says about the part it heads.
struct PartHeader {
    QString mediaType; // lower case, without parameters; empty when not given (plain text)
    QString boundary;  // of a multipart part
    bool attachment = false;

    // Text, or a container of parts; attachments never, whatever their type.
    [[nodiscard]] bool isShown() const
    {
        return !attachment && (mediaType.isEmpty() || mediaType.startsWith(u"text/") ||
                               mediaType.startsWith(u"multipart/") || mediaType.startsWith(u"message/"));
    }
};

PartHeader readPartHeader(const QList<QStringView> &lines)
{
    // Folded lines continue the field before them.
    QStringList fields;
    for (QStringView line : lines) {
        if (!line.isEmpty() && isSpaceOrTab(line.front()) && !fields.isEmpty())
            fields.last() += line;
        else
            fields << line.toString();
    }
    PartHeader header;
    for (const QString &field : std::as_const(fields)) {
        const qsizetype colon = field.indexOf(u':');
        if (colon < 0)
            continue;
        const QStringView name = QStringView(field).first(colon).trimmed();
        const QString value = field.sliced(colon + 1).trimmed();
        const QString primary = value.section(u';', 0, 0).trimmed().toLower();
        if (name.compare(u"content-type", Qt::CaseInsensitive) == 0) {
            header.mediaType = primary;
            header.boundary = parameter(value, u"boundary");
        } else if (name.compare(u"content-disposition", Qt::CaseInsensitive) == 0) {
            header.attachment = primary == u"attachment";
        }
    }
    return header;
}

// Only base64 characters, with at most two "=" of padding at the end.
bool isBase64Line(QStringView line)
{
    qsizetype end = line.size();
    for (int padding = 0; padding < 2 && end > 0 && line[end - 1] == u'='; ++padding)
        --end;
    if (end == 0)
        return false;
    return std::all_of(line.begin(), line.begin() + end, [](QChar c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+' ||
               c == u'/';
    });
}

// Walks the body's lines: MIME parts that are not text and attachments are left out with their
// part headers, and so are encoded blocks: long lines without a space, and runs of base64 lines.
class BodyReader final
{
public:
    explicit BodyReader(const PartHeader &message)
        : m_shown(message.isShown())
    {
        if (!message.boundary.isEmpty())
            m_boundaries.insert(message.boundary);
    }

    QString read(QStringView body)
    {
        for (QStringView line : splitLines(body)) {
            if (line.startsWith(u"--")) { // MIME boundaries, known or not
                takeBoundary(line);
                continue;
            }
            if (m_inPartHeader) {
                takePartHeaderLine(line);
                continue;
            }
            if (!m_shown || line.startsWith(u"Content-") || isEncoded(line))
                continue;
            m_text += line;
            m_text += u'\n';
            m_length += UnicodeText::graphemeCount(line) + 1; // a line feed always ends a cluster
            if (m_length > EmailExcerpt::MaxBodyLength)
                break;
        }
        return m_text;
    }

private:
    void takeBoundary(QStringView line)
    {
        while (!line.isEmpty() && isSpaceOrTab(line.back()))
            line.chop(1);
        const QString rest = line.sliced(2).toString();
        if (m_boundaries.contains(rest)) {
            m_inPartHeader = true;
            m_partHeader.clear();
        } else if (rest.endsWith(u"--") && m_boundaries.contains(rest.chopped(2))) {
            m_shown = true; // back in the enclosing part, which is shown or we would not be here
        }
    }

    void takePartHeaderLine(QStringView line)
    {
        if (!line.isEmpty()) {
            m_partHeader << line;
            return;
        }
        m_inPartHeader = false;
        const PartHeader header = readPartHeader(m_partHeader);
        m_shown = header.isShown();
        if (m_shown && !header.boundary.isEmpty())
            m_boundaries.insert(header.boundary);
    }

    bool isEncoded(QStringView line)
    {
        // Base64 encoders write lines of 60 to 76 characters; the block's last line may be shorter.
        const bool wasInBase64Run = std::exchange(m_inBase64Run, false);
        if (isBase64Line(line)) {
            m_inBase64Run = line.size() >= MinBase64LineLength;
            if (m_inBase64Run || wasInBase64Run)
                return true;
        }
        return line.size() >= MinEncodedLineLength && !line.contains(u' ') &&
               UnicodeText::graphemeCount(line) >= MinEncodedLineLength;
    }

    QSet<QString> m_boundaries; // a set: a crafted message may declare very many
    QList<QStringView> m_partHeader;
    QString m_text;
    qsizetype m_length = 0; // grapheme clusters
    bool m_shown;
    bool m_inPartHeader = false;
    bool m_inBase64Run = false;
};

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
    const QStringList headerLines = formatMetadata(excerpt.metadata);
    const QString text = (headerLines.isEmpty() ? QString() : headerLines.join(u'\n') + QStringLiteral("\n\n")) +
                         BodyReader(readPartHeader(splitLines(header))).read(body).trimmed();
    excerpt.text = UnicodeText::leftGraphemes(text, TextLimits::Document);
    return excerpt;
}
