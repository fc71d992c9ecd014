#include "htmltext.h"

#include "common/unicodetext.h"

#include <gumbo.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace HTMLText {
namespace {

// About half a second of parsing for the worst nesting; ordinary pages show their text far earlier.
constexpr int MaxParsedTags = 16384;

bool isHtmlSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isSkipped(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_IFRAME:
        return true;
    default:
        return false;
    }
}

bool isBlock(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_P:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_UL:
        return true;
    default:
        return false;
    }
}

bool isPreformatted(GumboTag tag)
{
    return tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_TEXTAREA || tag == GUMBO_TAG_LISTING;
}

// Collapses white space the way a browser lays text out: separators are only written
// between two pieces of text, the strongest one pending wins.
class TextBuilder final
{
public:
    explicit TextBuilder(qsizetype maxLength)
        : m_maxLength(maxLength)
    {
    }

    [[nodiscard]] bool isFull() const { return m_out.size() >= m_maxLength; }
    [[nodiscard]] QString result() const { return m_out.left(m_maxLength); }

    void lineBreak() { m_pendingBreaks = std::min(m_pendingBreaks + 1, 2); }
    void blockBoundary() { m_pendingBreaks = std::max(m_pendingBreaks, 1); }
    void cellBoundary() { m_pendingTab = true; }

    void text(const QString &text, bool preformatted)
    {
        for (QChar c : text) {
            if (!preformatted && isHtmlSpace(c)) {
                m_pendingSpace = true;
                continue;
            }
            flushSeparator();
            m_out.append(c);
        }
    }

private:
    void flushSeparator()
    {
        if (!m_out.isEmpty()) {
            if (m_pendingBreaks > 0)
                m_out.append(QString(m_pendingBreaks, u'\n'));
            else if (m_pendingTab)
                m_out.append(u'\t');
            else if (m_pendingSpace)
                m_out.append(u' ');
        }
        m_pendingBreaks = 0;
        m_pendingTab = false;
        m_pendingSpace = false;
    }

    const qsizetype m_maxLength;
    QString m_out;
    int m_pendingBreaks = 0;
    bool m_pendingTab = false;
    bool m_pendingSpace = false;
};

struct OutputDeleter {
    void operator()(GumboOutput *output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};

} // namespace

std::optional<QString> visibleText(const QByteArray &utf8, qsizetype maxLength)
{
    // The parser's time grows with the square of the nesting depth (scope checks walk the
    // stack of open elements), so only the part before the MaxParsedTags-th tag is given to it.
    qsizetype parsed = utf8.size();
    qsizetype from = 0;
    for (int tags = 0; tags <= MaxParsedTags; ++tags) {
        const qsizetype next = utf8.indexOf('<', from);
        if (next < 0)
            break;
        if (tags == MaxParsedTags) {
            parsed = next;
            break;
        }
        from = next + 1;
    }
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // recording errors copies the open-element stack for each one
    const std::unique_ptr<GumboOutput, OutputDeleter> output(
        gumbo_parse_with_options(&options, utf8.constData(), std::size_t(parsed)));
    if (!output)
        return std::nullopt;

    TextBuilder builder(maxLength);
    struct Frame {
        const GumboNode *node;
        unsigned int next; // index of the next child to visit
    };
    // An explicit stack: documents can nest far deeper than the call stack would allow.
    std::vector<Frame> stack{{output->root, 0}};
    int preformattedDepth = 0;
    while (!stack.empty() && !builder.isFull()) {
        Frame &frame = stack.back();
        const GumboElement &element = frame.node->v.element;
        if (frame.next < element.children.length) {
            const auto *child = static_cast<const GumboNode *>(element.children.data[frame.next++]);
            switch (child->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                builder.text(QString::fromUtf8(child->v.text.text), preformattedDepth > 0);
                break;
            case GUMBO_NODE_ELEMENT: {
                const GumboTag tag = child->v.element.tag;
                if (isSkipped(tag))
                    break;
                if (tag == GUMBO_TAG_BR) {
                    builder.lineBreak();
                    break;
                }
                if (isBlock(tag))
                    builder.blockBoundary();
                if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH)
                    builder.cellBoundary();
                if (isPreformatted(tag))
                    ++preformattedDepth;
                stack.push_back({child, 0});
                break;
            }
            default: // comments, documents, templates
                break;
            }
            continue;
        }
        const GumboTag tag = element.tag;
        if (frame.node->type == GUMBO_NODE_ELEMENT) {
            if (isBlock(tag))
                builder.blockBoundary();
            if (isPreformatted(tag))
                --preformattedDepth;
        }
        stack.pop_back();
    }
    return builder.result();
}

std::optional<QString> title(const QString &html)
{
    // Equivalent to the first match of "<title>(.+?)</title>" where "." stops at line ends,
    // but without the regex engine's quadratic retries on a long line of unclosed "<title>"s.
    static const QString open = QStringLiteral("<title>");
    static const QString close = QStringLiteral("</title>");
    qsizetype from = 0;
    qsizetype end = -1; // first "</title>" after the previous start; still the first one after a later start
    while (true) {
        const qsizetype start = html.indexOf(open, from);
        if (start < 0)
            return std::nullopt;
        const qsizetype contentStart = start + open.size();
        qsizetype lineEnd = contentStart;
        while (lineEnd < html.size() && !UnicodeText::isLineBreak(html[lineEnd]))
            ++lineEnd;
        if (end < contentStart + 1)
            end = html.indexOf(close, contentStart + 1);
        if (end < 0)
            return std::nullopt;
        if (end < lineEnd) {
            QString match = html.sliced(start, end + close.size() - start);
            match.remove(open);
            match.remove(close);
            return match;
        }
        // Every "<title>" before this line end would need the same, too distant, "</title>".
        from = lineEnd;
    }
}

} // namespace HTMLText
