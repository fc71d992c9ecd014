#include "mailreader.h"

#include "common/unicodetext.h"
#include "extraction/documents/htmlcharset.h"
#include "extraction/documents/htmltext.h"
#include "extraction/filecontext.h"

#include <QRegularExpression>
#include <QStringList>

#include <gmime/gmime.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace MailReader {
namespace {

// Enough UTF-16 units for the excerpt; collecting stops there.
constexpr qsizetype MaxBodyUnits = 64 * 1024;
// Real messages nest a few levels; a crafted one is not walked deeper.
constexpr int MaxDepth = 24;
constexpr int MaxParts = 2000;

template <typename T> struct GObjectDeleter {
    void operator()(T *object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

struct GFreeDeleter {
    void operator()(void *memory) const { g_free(memory); }
};
using GText = std::unique_ptr<char, GFreeDeleter>;

struct OptionsDeleter {
    void operator()(GMimeParserOptions *options) const { g_mime_parser_options_free(options); }
};

// Once per process; GMime's tables are read-only afterwards. Opens no file: the charset tables
// are compiled in, and iconv's modules under /usr are loaded on demand (readable in the sandbox).
void initialise()
{
    static const bool initialised = [] {
        g_mime_init();
        return true;
    }();
    Q_UNUSED(initialised);
}

std::unique_ptr<GMimeParserOptions, OptionsDeleter> parserOptions()
{
    std::unique_ptr<GMimeParserOptions, OptionsDeleter> options(g_mime_parser_options_new());
    // What mail programs accept: unquoted specials in names and parameters, encoded words inside
    // words, undeclared 8-bit text in the charset western mailers used before UTF-8.
    g_mime_parser_options_set_address_compliance_mode(options.get(), GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_parameter_compliance_mode(options.get(), GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_rfc2047_compliance_mode(options.get(), GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_allow_addresses_without_domain(options.get(), TRUE);
    static const char *fallback[] = {"UTF-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(options.get(), fallback);
    return options;
}

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text).trimmed() : QString();
}

// The part's content with its transfer encoding (base64, quoted-printable, uuencode) undone.
QByteArray decodedContent(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GObjectPtr<GMimeStream> memory(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, memory.get()) < 0)
        return {};
    const GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

QByteArray convertedToUtf8(const QByteArray &bytes, const char *charset, GMimeParserOptions *options)
{
    if (charset && *charset) {
        const iconv_t converter = g_mime_iconv_open("UTF-8", charset);
        if (converter != iconv_t(-1)) {
            const GText converted(g_mime_iconv_strndup(converter, bytes.constData(), size_t(bytes.size())));
            g_mime_iconv_close(converter);
            if (converted && g_utf8_validate(converted.get(), -1, nullptr))
                return QByteArray(converted.get());
        }
    }
    if (g_utf8_validate(bytes.constData(), bytes.size(), nullptr))
        return bytes;
    const GText decoded(g_mime_utils_decode_8bit(options, bytes.constData(), size_t(bytes.size())));
    return decoded ? QByteArray(decoded.get()) : QByteArray();
}

// Binary data sent as text (or a damaged part): more than one in a hundred bytes are control
// characters that no text holds.
bool isBinary(const QByteArray &utf8)
{
    const qsizetype controls = std::count_if(utf8.begin(), utf8.end(), [](char c) {
        const auto byte = uchar(c);
        return (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f') || byte == 0x7f;
    });
    return controls * 100 > utf8.size();
}

// `bytes` in `charset` as UTF-8: the declared charset when iconv knows it and the bytes fit,
// else UTF-8 when they are, else the parser's fallback charsets; nothing for binary data.
QByteArray toUtf8(const QByteArray &bytes, const char *charset, GMimeParserOptions *options)
{
    const QByteArray utf8 = convertedToUtf8(bytes, charset, options);
    return isBinary(utf8) ? QByteArray() : utf8;
}

QString withLineFeeds(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

// Flowed text (RFC 3676, as Thunderbird and Apple Mail send it) with its paragraphs rejoined:
// a line ending in a space goes on in the next line of the same quote depth.
QString unflowed(const QString &text, bool deleteSpace)
{
    QStringList lines;
    int openDepth = -1; // the quote depth of a paragraph that goes on, -1 when none does
    for (QString line : text.split(u'\n')) {
        int depth = 0;
        while (depth < line.size() && line[depth] == u'>')
            ++depth;
        line.remove(0, depth);
        if (line.startsWith(u' ')) // space-stuffing
            line.remove(0, 1);
        const bool flows = line.endsWith(u' ') && line != u"-- ";
        if (flows && deleteSpace)
            line.chop(1);
        if (openDepth == depth && !lines.isEmpty())
            lines.last() += line;
        else
            lines << (depth > 0 ? QString(depth, u'>') + u' ' + line : line);
        openDepth = flows ? depth : -1;
    }
    return lines.join(u'\n');
}

bool isBlank(const QString &line)
{
    return line.trimmed().isEmpty();
}

const QRegularExpression &attributionLine()
{
    // "Am 12.03.2024 um 10:15 schrieb Anna Berg <a@x.de>:", "On Tue, … Anna wrote:"
    static const QRegularExpression pattern(
        QStringLiteral("\\b(schrieb|wrote|a écrit|escribió|ha scritto|schreef|skrev)\\b.*:\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

const QRegularExpression &originalSeparator()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*-{2,}\\s*(Original Message|Ursprüngliche Nachricht|Original-Nachricht|"
                       "Originalnachricht|Message d'origine|Mensaje original)\\s*-{2,}\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

const QRegularExpression &forwardSeparator()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(-{2,}\\s*(Forwarded message|Forwarded Message|Weitergeleitete Nachricht|"
                       "Message transféré|Mensaje reenviado)\\s*-{2,}|(Begin forwarded message|Anfang der "
                       "weitergeleiteten Nachricht|Beginn der weitergeleiteten Nachricht)\\s*:)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

const QRegularExpression &forwardSubject()
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*\\[?\\s*(Fwd?|WG|Wtr|TR|RV|Doorst)\\s*:"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// "Von: Anna Berg" with "Gesendet:" or "Datum:" right below it: a reply program's header of the
// original it quotes without ">".
bool startsHeaderBlock(const QStringList &lines, qsizetype at)
{
    static const QRegularExpression from(QStringLiteral("^\\s*\\**(Von|From)\\s*:\\**\\s+\\S"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression sent(QStringLiteral("^\\s*\\**(Gesendet|Sent|Datum|Date)\\s*:"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (!from.match(lines[at]).hasMatch())
        return false;
    for (qsizetype next = at + 1; next < lines.size() && next <= at + 4; ++next) {
        if (sent.match(lines[next]).hasMatch())
            return true;
    }
    return false;
}

bool isRule(const QString &line)
{
    const QString trimmed = line.trimmed();
    return trimmed.size() >= 10 && (trimmed.count(u'_') == trimmed.size() || trimmed.count(u'-') == trimmed.size());
}

// Where the quoted original below a reply starts, or -1: a separator, an attribution line, or
// a header block (with the rule above it). Nothing moves once a forwarded message has begun.
qsizetype quotedTail(const QStringList &lines, const QList<bool> &quoted)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        if (quoted[i] || isBlank(line))
            continue;
        if (forwardSeparator().match(line).hasMatch())
            return -1;
        if (originalSeparator().match(line).hasMatch())
            return i;
        // An attribution names its date or address; "wie ich schrieb:" in the new text does not.
        if (line.size() < 300 && attributionLine().match(line).hasMatch() &&
            std::any_of(line.begin(), line.end(), [](QChar c) { return c.isDigit() || c == u'@'; }))
            return i;
        if (startsHeaderBlock(lines, i))
            return i > 0 && isRule(lines[i - 1]) ? i - 1 : i;
    }
    return -1;
}

// The new text first, then quoted replies and signatures in their order.
QString newTextFirst(const QString &body, bool forwarded)
{
    const QStringList lines = body.split(u'\n');
    QList<bool> moved(lines.size(), false);
    for (qsizetype i = 0; i < lines.size(); ++i)
        moved[i] = lines[i].startsWith(u'>');
    // The attribution line above a quoted block, and the blank lines between.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!moved[i] || moved[i - 1])
            continue;
        qsizetype above = i - 1;
        while (above > 0 && isBlank(lines[above]))
            --above;
        if (lines[above].trimmed().endsWith(u':'))
            for (qsizetype j = above; j < i; ++j)
                moved[j] = true;
    }
    if (!forwarded) {
        if (const qsizetype tail = quotedTail(lines, moved); tail >= 0)
            for (qsizetype i = tail; i < lines.size(); ++i)
                moved[i] = true;
    }
    // A signature runs from its "-- " to the next quoted line.
    bool inSignature = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (moved[i]) {
            inSignature = false;
            continue;
        }
        if (lines[i] == u"-- " || lines[i] == u"--")
            inSignature = true;
        moved[i] = inSignature;
    }
    // Runs that were apart stay apart.
    QStringList fresh, rest;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringList &into = moved[i] ? rest : fresh;
        if (i > 0 && moved[i] != moved[i - 1] && !into.isEmpty())
            into << QString();
        into << lines[i];
    }
    const QString first = fresh.join(u'\n').trimmed();
    const QString after = rest.join(u'\n').trimmed();
    if (first.isEmpty() || after.isEmpty())
        return first.isEmpty() ? after : first;
    return first + QStringLiteral("\n\n") + after;
}

struct Attachment {
    QString name;
    QString type;
};

// Walks the part tree: body texts in their order, attachments listed.
class Walker final
{
public:
    Walker(GMimeParserOptions *options, bool forwarded)
        : m_options(options)
        , m_forwarded(forwarded)
    {
    }

    void walk(GMimeObject *object, int depth, bool inRelated)
    {
        if (!object || depth > MaxDepth || ++m_parts > MaxParts)
            return;
        GMimeContentType *type = g_mime_object_get_content_type(object);
        const bool attachment = isAttachment(object);
        if (GMIME_IS_MULTIPART(object)) {
            walkMultipart(GMIME_MULTIPART(object), type, depth);
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage *inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            if (attachment || !inner)
                list(object, type);
            else
                walkForwarded(inner, depth);
        } else if (GMIME_IS_PART(object)) {
            const bool plain = g_mime_content_type_is_type(type, "text", "plain");
            const bool html = g_mime_content_type_is_type(type, "text", "html");
            if ((plain || html) && !attachment)
                addText(GMIME_PART(object), type, html);
            else if (!isSignature(type) && (attachment || (!inRelated && g_mime_part_get_filename(GMIME_PART(object)))))
                list(object, type);
        }
    }

    [[nodiscard]] QString body() const { return m_body.join(QStringLiteral("\n\n")); }
    [[nodiscard]] const QList<Attachment> &attachments() const { return m_attachments; }
    [[nodiscard]] int unlisted() const { return m_unlisted; }

private:
    void walkMultipart(GMimeMultipart *multipart, GMimeContentType *type, int depth)
    {
        const int count = g_mime_multipart_get_count(multipart);
        if (g_mime_content_type_is_type(type, "multipart", "alternative")) {
            // The first version with plain text only, else the first with any text (the HTML).
            std::optional<Walker> chosen;
            for (int i = 0; i < count; ++i) {
                Walker candidate(m_options, m_forwarded);
                candidate.m_parts = m_parts;
                candidate.walk(g_mime_multipart_get_part(multipart, i), depth + 1, false);
                m_parts = candidate.m_parts;
                if (candidate.m_body.isEmpty())
                    continue;
                const bool plain = !candidate.m_hadHtml;
                if (!chosen || (plain && chosen->m_hadHtml))
                    chosen = std::move(candidate);
                if (plain)
                    break;
            }
            if (chosen)
                take(*chosen);
            return;
        }
        // The root of a related group is the body; the rest are its pictures and styles.
        const bool related = g_mime_content_type_is_type(type, "multipart", "related");
        for (int i = 0; i < count && bodyUnits() < MaxBodyUnits; ++i)
            walk(g_mime_multipart_get_part(multipart, i), depth + 1, related && i > 0);
    }

    void walkForwarded(GMimeMessage *inner, int depth)
    {
        MetadataMap headers;
        if (const QString subject = fromUtf8(g_mime_message_get_subject(inner)); !subject.isEmpty())
            headers.set(QStringLiteral("subject"), subject);
        Walker nested(m_options, true);
        nested.m_parts = m_parts;
        nested.walk(g_mime_message_get_mime_part(inner), depth + 1, false);
        m_parts = nested.m_parts;
        QString text = nested.body();
        if (!headers.isEmpty())
            text.prepend(formatMetadata(headers).join(u'\n') + QStringLiteral("\n\n"));
        if (!text.trimmed().isEmpty())
            m_body << text;
        m_attachments += nested.m_attachments;
        m_unlisted += nested.m_unlisted;
    }

    void take(const Walker &other)
    {
        m_body += other.m_body;
        m_attachments += other.m_attachments;
        m_unlisted += other.m_unlisted;
        m_hadHtml = m_hadHtml || other.m_hadHtml;
    }

    void addText(GMimePart *part, GMimeContentType *type, bool html)
    {
        if (bodyUnits() >= MaxBodyUnits)
            return;
        const QByteArray raw = decodedContent(part);
        const char *charset = g_mime_content_type_get_parameter(type, "charset");
        QString text;
        if (html) {
            m_hadHtml = true;
            // A declared charset decides; without one, the page's own declaration does.
            const QByteArray utf8 =
                charset && *charset ? toUtf8(raw, charset, m_options) : HTMLCharset::decode(raw, true).toUtf8();
            if (std::optional<HTMLText::Page> page = HTMLText::read(utf8, MaxBodyUnits))
                text = page->text;
            text = withLineFeeds(text);
        } else {
            text = withLineFeeds(QString::fromUtf8(toUtf8(raw, charset, m_options)));
            if (const char *format = g_mime_content_type_get_parameter(type, "format");
                format && g_ascii_strcasecmp(format, "flowed") == 0) {
                const char *delsp = g_mime_content_type_get_parameter(type, "delsp");
                text = unflowed(text, delsp && g_ascii_strcasecmp(delsp, "yes") == 0);
            }
        }
        text = newTextFirst(text, m_forwarded);
        if (!text.isEmpty())
            m_body << text;
    }

    void list(GMimeObject *object, GMimeContentType *type)
    {
        if (m_attachments.size() >= MaxListedAttachments) {
            ++m_unlisted;
            return;
        }
        const GText mimeType(g_mime_content_type_get_mime_type(type));
        QString name = GMIME_IS_PART(object) ? fromUtf8(g_mime_part_get_filename(GMIME_PART(object))) : QString();
        if (name.isEmpty() && GMIME_IS_MESSAGE_PART(object))
            if (GMimeMessage *inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)))
                name = fromUtf8(g_mime_message_get_subject(inner));
        // A name is a name, not a path; its line breaks would break the metadata line.
        name = name.section(u'/', -1).section(u'\\', -1).simplified();
        m_attachments << Attachment{name, mimeType ? QString::fromUtf8(mimeType.get()).toLower() : QString()};
    }

    static bool isAttachment(GMimeObject *object)
    {
        const char *disposition = g_mime_object_get_disposition(object);
        return disposition && g_ascii_strcasecmp(disposition, "attachment") == 0;
    }

    // A signature of the message, not a file of the sender's.
    static bool isSignature(GMimeContentType *type)
    {
        return g_mime_content_type_is_type(type, "application", "pgp-signature") ||
               g_mime_content_type_is_type(type, "application", "pkcs7-signature") ||
               g_mime_content_type_is_type(type, "application", "x-pkcs7-signature");
    }

    [[nodiscard]] qsizetype bodyUnits() const
    {
        qsizetype units = 0;
        for (const QString &text : m_body)
            units += text.size();
        return units;
    }

    GMimeParserOptions *m_options;
    bool m_forwarded;
    bool m_hadHtml = false;
    int m_parts = 0;
    int m_unlisted = 0;
    QStringList m_body;
    QList<Attachment> m_attachments;
};

QString attachmentList(const QList<Attachment> &attachments, int unlisted)
{
    QStringList items;
    for (const auto &[name, type] : attachments)
        items << (name.isEmpty() ? type : type.isEmpty() ? name : name + QStringLiteral(" (") + type + u')');
    if (unlisted > 0)
        items << QStringLiteral("+%1 weitere").arg(unlisted);
    return items.join(QStringLiteral(", "));
}

QString addressHeader(GMimeMessage *message, InternetAddressList *addresses, const char *name)
{
    if (addresses && internet_address_list_length(addresses) > 0) {
        const GText text(internet_address_list_to_string(addresses, nullptr, FALSE));
        if (const QString value = fromUtf8(text.get()); !value.isEmpty())
            return value;
    }
    return fromUtf8(g_mime_object_get_header(GMIME_OBJECT(message), name));
}

} // namespace

Mail read(QByteArrayView message)
{
    initialise();
    Mail mail;
    mail.metadata.set(QStringLiteral("source"), QStringLiteral("eml"));
    if (message.isEmpty())
        return mail;
    const auto options = parserOptions();
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(message.data(), size_t(message.size())));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    // An mbox file's first message; the parser takes the separator line for it.
    if (message.startsWith("From "))
        g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MBOX);
    GObjectPtr<GMimeMessage> parsed(g_mime_parser_construct_message(parser.get(), options.get()));
    if (!parsed)
        return mail;

    const QString subject = fromUtf8(g_mime_message_get_subject(parsed.get()));
    const std::pair<const char *, QString> headers[] = {
        {"subject", subject},
        {"from", addressHeader(parsed.get(), g_mime_message_get_from(parsed.get()), "From")},
        {"to", addressHeader(parsed.get(), g_mime_message_get_to(parsed.get()), "To")},
        {"date", fromUtf8(g_mime_object_get_header(GMIME_OBJECT(parsed.get()), "Date"))}};
    for (const auto &[key, value] : headers) {
        if (!value.isEmpty())
            mail.metadata.set(QString::fromLatin1(key), value.simplified());
    }

    Walker walker(options.get(), forwardSubject().match(subject).hasMatch());
    walker.walk(g_mime_message_get_mime_part(parsed.get()), 0, false);
    if (!walker.attachments().isEmpty())
        mail.metadata.set(QStringLiteral("attachments"), attachmentList(walker.attachments(), walker.unlisted()));

    const QStringList headerLines = formatMetadata(mail.metadata);
    const QString body = walker.body().trimmed();
    const QString text = headerLines.isEmpty() ? body
                         : body.isEmpty()      ? headerLines.join(u'\n')
                                               : headerLines.join(u'\n') + QStringLiteral("\n\n") + body;
    mail.text = UnicodeText::leftGraphemes(text, TextLimits::Document);
    return mail;
}

} // namespace MailReader
