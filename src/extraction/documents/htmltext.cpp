#include "htmltext.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

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
    case GUMBO_TAG_SELECT: // a form's choices, not the page's text
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

// Whether the character at `i` is one of the private use areas (BMP, planes 15 and 16); for a
// surrogate pair, `i` moves to its second half.
bool isPrivateUse(const QString &text, qsizetype &i)
{
    const char16_t unit = text[i].unicode();
    if (unit >= 0xE000 && unit <= 0xF8FF)
        return true;
    // High surrogates from U+DB80 on start the code points of planes 15 and 16.
    if (unit >= 0xDB80 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        ++i;
        return true;
    }
    return false;
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
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (!preformatted && isHtmlSpace(c)) {
                m_pendingSpace = true;
                continue;
            }
            // Icon fonts draw their pictures at private-use code points (U+F0C1, the link sign
            // after a heading): no text, at most a gap between words.
            if (isPrivateUse(text, i)) {
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

// Page-wide navigation and boilerplate; an article's or section's own header and footer stay,
// since they usually hold its heading and byline. Generated pages (Sphinx, Node.js, ...) mark
// their menus and sidebars with the ARIA landmark roles instead of the elements; an explicit
// "banner" or "contentinfo" role names the page's own header or footer.
bool isDeferred(const GumboElement &element, int sectionDepth)
{
    const GumboTag tag = element.tag;
    if (tag == GUMBO_TAG_NAV || tag == GUMBO_TAG_ASIDE)
        return true;
    if ((tag == GUMBO_TAG_HEADER || tag == GUMBO_TAG_FOOTER) && sectionDepth == 0)
        return true;
    const GumboAttribute *role = gumbo_get_attribute(&element.attributes, "role");
    if (!role)
        return false;
    // The first role token is the one a browser uses.
    const QString first = QString::fromUtf8(role->value).simplified().section(u' ', 0, 0).toLower();
    static const QStringList landmarks{QStringLiteral("navigation"), QStringLiteral("complementary"),
                                       QStringLiteral("banner"), QStringLiteral("contentinfo"),
                                       QStringLiteral("search")};
    return landmarks.contains(first);
}

// Letters and digits of the visible text under each element, and how many of them are inside
// links; counted once, bottom up, for the elements that may hold a menu.
struct LinkShare {
    qsizetype letters = 0;
    qsizetype linked = 0;
    int links = 0;
};

bool mayHoldMenu(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_P:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER:
        return true;
    default:
        return false;
    }
}

qsizetype lettersIn(const char *utf8)
{
    const QString text = QString::fromUtf8(utf8);
    return std::count_if(text.cbegin(), text.cend(), [](QChar c) { return c.isLetterOrNumber(); });
}

using LinkShares = QHash<const GumboNode *, LinkShare>;

LinkShares linkShares(const GumboNode *root)
{
    LinkShares shares;
    struct Frame {
        const GumboNode *node;
        unsigned int next;
        LinkShare share;
    };
    std::vector<Frame> stack{{root, 0, {}}};
    while (!stack.empty()) {
        Frame &frame = stack.back();
        const GumboElement &element = frame.node->v.element;
        if (frame.next < element.children.length) {
            const auto *child = static_cast<const GumboNode *>(element.children.data[frame.next++]);
            if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_CDATA)
                frame.share.letters += lettersIn(child->v.text.text);
            else if (child->type == GUMBO_NODE_ELEMENT && !isSkipped(child->v.element.tag))
                stack.push_back({child, 0, {}});
            continue;
        }
        LinkShare share = frame.share;
        if (element.tag == GUMBO_TAG_A && gumbo_get_attribute(&element.attributes, "href")) {
            share.linked = share.letters;
            share.links += 1;
        }
        if (mayHoldMenu(element.tag))
            shares.insert(frame.node, share);
        stack.pop_back();
        if (!stack.empty()) {
            LinkShare &parent = stack.back().share;
            parent.letters += share.letters;
            parent.linked += share.linked;
            parent.links += share.links;
        }
    }
    return shares;
}

// A block that is mostly links is a menu, a breadcrumb trail or a page's table of contents:
// "Home | Download | Support", DocBook's "Prev Up Home Next", Texinfo's "Next: …, Previous: …, Up: …".
// A block whose class or id names navigation needs only 20 % of its text in links: DocBook's
// "navheader" table holds the chapter's and the book's titles between its four links.
bool isLinkMenu(const GumboElement &element, const LinkShares &shares, const GumboNode *node)
{
    const auto it = shares.constFind(node);
    if (it == shares.cend() || it->links < 2 || it->letters == 0)
        return false;
    const double share = double(it->linked) / double(it->letters);
    if (share >= 0.8)
        return true;
    if (share < 0.2)
        return false;
    static const QRegularExpression named(QStringLiteral("nav|menu|breadcrumb|toc|sidebar|header|footer"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (const char *attribute : {"class", "id"})
        if (const GumboAttribute *value = gumbo_get_attribute(&element.attributes, attribute);
            value && named.match(QString::fromUtf8(value->value)).hasMatch())
            return true;
    return false;
}

bool isSection(GumboTag tag)
{
    return tag == GUMBO_TAG_ARTICLE || tag == GUMBO_TAG_SECTION || tag == GUMBO_TAG_MAIN;
}

bool isHtmlElement(const GumboNode *node, GumboTag tag)
{
    return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

struct Deferral {
    std::vector<const GumboNode *> nodes; // written after the rest, in document order
    const LinkShares *shares = nullptr;
    const GumboNode *written = nullptr; // the main content, already written first
};

// Writes the visible text under `root`. With `deferred` given, navigation, headers, footers and
// link menus are collected there instead of written, so that they follow the main content.
void writeText(const GumboNode *root, TextBuilder &builder, Deferral *deferred)
{
    struct Frame {
        const GumboNode *node;
        unsigned int next; // index of the next child to visit
    };
    // An explicit stack: documents can nest far deeper than the call stack would allow.
    std::vector<Frame> stack{{root, 0}};
    int preformattedDepth = 0;
    // The main content written on its own is still inside its section.
    int sectionDepth = root->type == GUMBO_NODE_ELEMENT && isSection(root->v.element.tag) ? 1 : 0;
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
                if (deferred && child == deferred->written)
                    break;
                if (isBlock(tag))
                    builder.blockBoundary();
                if (deferred && (isDeferred(child->v.element, sectionDepth) ||
                                 isLinkMenu(child->v.element, *deferred->shares, child))) {
                    deferred->nodes.push_back(child);
                    break;
                }
                if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH)
                    builder.cellBoundary();
                if (isPreformatted(tag))
                    ++preformattedDepth;
                if (isSection(tag))
                    ++sectionDepth;
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
            if (isSection(tag))
                --sectionDepth;
        }
        stack.pop_back();
    }
}

// The page's main content: the first element with the landmark role "main", else the first
// <main>, else its only <article>; null when the page marks none.
const GumboNode *mainContent(const GumboNode *root)
{
    const GumboNode *main = nullptr, *article = nullptr;
    int articles = 0;
    std::vector<const GumboNode *> stack{root};
    while (!stack.empty()) {
        const GumboNode *node = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT || isSkipped(node->v.element.tag))
            continue;
        const GumboElement &element = node->v.element;
        if (const GumboAttribute *role = gumbo_get_attribute(&element.attributes, "role");
            role && QString::fromUtf8(role->value).simplified().section(u' ', 0, 0).toLower() == u"main")
            return node;
        if (!main && isHtmlElement(node, GUMBO_TAG_MAIN))
            main = node;
        if (isHtmlElement(node, GUMBO_TAG_ARTICLE) && articles++ == 0)
            article = node;
        for (unsigned int i = element.children.length; i > 0; --i)
            stack.push_back(static_cast<const GumboNode *>(element.children.data[i - 1]));
    }
    return main ? main : articles == 1 ? article : nullptr;
}

// The document's title as browsers show it: the first HTML <title> anywhere, its text with
// entities decoded and white space stripped and collapsed. Nullopt when missing or blank.
std::optional<QString> documentTitle(const GumboNode *root)
{
    std::vector<const GumboNode *> stack{root};
    while (!stack.empty()) {
        const GumboNode *node = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT)
            continue;
        if (isHtmlElement(node, GUMBO_TAG_TITLE)) {
            QString text;
            const GumboVector &children = node->v.element.children;
            for (unsigned int i = 0; i < children.length; ++i) {
                const auto *child = static_cast<const GumboNode *>(children.data[i]);
                if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE)
                    text += QString::fromUtf8(child->v.text.text);
            }
            TextBuilder collapsed(text.size());
            collapsed.text(text, false);
            const QString title = collapsed.result();
            return title.isEmpty() ? std::nullopt : std::optional<QString>(title);
        }
        const GumboVector &children =
            node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
        for (unsigned int i = children.length; i > 0; --i) // reversed: the first child is visited first
            stack.push_back(static_cast<const GumboNode *>(children.data[i - 1]));
    }
    return std::nullopt;
}

struct OutputDeleter {
    void operator()(GumboOutput *output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};

} // namespace

std::optional<Page> read(const QByteArray &utf8, qsizetype maxLength)
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
    const LinkShares shares = linkShares(output->root);
    Deferral deferred{{}, &shares, mainContent(output->root)};
    if (deferred.written) {
        Deferral inside{{}, &shares, nullptr};
        writeText(deferred.written, builder, &inside);
        builder.blockBoundary();
        writeText(output->root, builder, &deferred);
        deferred.nodes.insert(deferred.nodes.end(), inside.nodes.cbegin(), inside.nodes.cend());
        std::ranges::stable_sort(deferred.nodes, {},
                                 [](const GumboNode *node) { return node->v.element.start_pos.offset; });
    } else {
        writeText(output->root, builder, &deferred);
    }
    for (const GumboNode *node : deferred.nodes) {
        builder.blockBoundary();
        writeText(node, builder, nullptr);
    }
    return Page{builder.result(), documentTitle(output->document)};
}

} // namespace HTMLText
