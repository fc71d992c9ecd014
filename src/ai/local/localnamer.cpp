#include "localnamer.h"

#include "ai/local/localfinders.h"
#include "common/unicodetext.h"
#include "extraction/filecontext.h"
#include "grounding/datefinder.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <climits>
#include <cmath>

using namespace LocalFinders;

namespace {

// How much each field weighs in the confidence, and the confidence of a complete e-invoice.
constexpr double DateWeight = 0.3;
constexpr double SenderWeight = 0.3;
constexpr double KindWeight = 0.2;
constexpr double AmountWeight = 0.1;
constexpr double DescriptionWeight = 0.1;
constexpr double ConfidenceFloor = 0.1;
constexpr double ConfidenceSpan = 0.8;
constexpr double InvoiceConfidence = 0.95;
constexpr double WeakPart = 0.6;

const QString Datum = QStringLiteral("datum");
const QString Kategorie = QStringLiteral("kategorie");
const QString Beschreibung = QStringLiteral("beschreibung");
const QString Absender = QStringLiteral("absender");
const QString Betrag = QStringLiteral("betrag");

double part(Strength strength)
{
    switch (strength) {
    case Strength::strong:
        return 1.0;
    case Strength::weak:
        return WeakPart;
    case Strength::none:
        break;
    }
    return 0.0;
}

QString isoDate(QDate date)
{
    return date.toString(Qt::ISODate);
}

QString money(qint64 cents)
{
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

bool isPicture(const FileContext &context)
{
    static const QStringList extensions{QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"),
                                        QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("tiff"),
                                        QStringLiteral("tif"),  QStringLiteral("bmp"),  QStringLiteral("gif"),
                                        QStringLiteral("webp")};
    return extensions.contains(context.fileExtension) || context.metadata.contains(QStringLiteral("camera_make")) ||
           context.metadata.contains(QStringLiteral("camera_model"));
}

/** A capture or creation date in metadata: EXIF's "2024:03:15 14:22:05", ISO 8601, or a mail's date. */
std::optional<QDate> metadataDate(const FileContext &context)
{
    static const QRegularExpression stamp(QStringLiteral(R"(^(\d{4})[:-](\d{2})[:-](\d{2})(?:$|[ T]))"));
    const QString value = context.metadata.value(QStringLiteral("date")).trimmed();
    if (value.isEmpty())
        return std::nullopt;
    if (const QRegularExpressionMatch match = stamp.match(value); match.hasMatch()) {
        const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
        return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
    }
    return Grounding::parseDate(value);
}

/**
 * A mail header's encoded words decoded ("=?utf-8?q?M=C3=B6belhaus_Kr=C3=A4mer?=" → "Möbelhaus Krämer"):
 * extraction keeps header values as written. Space between two encoded words goes with them.
 */
QString decodedWords(const QString &value)
{
    static const QRegularExpression word(QStringLiteral(R"(=\?([^?\s]+)\?([qQbB])\?([^?\s]*)\?=)"));
    QString result;
    qsizetype at = 0;
    QRegularExpressionMatchIterator it = word.globalMatch(value);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QStringView between = QStringView(value).sliced(at, match.capturedStart() - at);
        if (at == 0 || !between.trimmed().isEmpty())
            result += between;
        QByteArray bytes = match.captured(3).toLatin1();
        if (match.captured(2).compare(u"q", Qt::CaseInsensitive) == 0)
            bytes = QByteArray::fromPercentEncoding(bytes.replace('_', ' '), '=');
        else
            bytes = QByteArray::fromBase64(bytes);
        QStringDecoder decoder(match.captured(1).section(u'*', 0, 0).toLatin1().constData());
        result += decoder.isValid() ? QString(decoder.decode(bytes)) : QString::fromLatin1(bytes);
        at = match.capturedEnd();
    }
    return at == 0 ? value : result + value.mid(at);
}

/** A mail's From header: `"Name" <address>`, `Name <address>`, `address (Name)` or the bare address. */
std::optional<MailSender> mailSender(const FileContext &context)
{
    static const QRegularExpression angled(QStringLiteral(R"re(^\s*"?([^"<]*?)"?\s*<([^<>\s]+@[^<>\s]+)>)re"));
    static const QRegularExpression bare(QStringLiteral(R"re(([^\s<>()"]+@[^\s<>()"]+)(?:\s*\(([^)]*)\))?)re"));
    const QString from = decodedWords(context.metadata.value(QStringLiteral("from"))).trimmed();
    if (from.isEmpty())
        return std::nullopt;
    MailSender sender;
    if (const QRegularExpressionMatch match = angled.match(from); match.hasMatch()) {
        sender.name = match.captured(1).trimmed();
        sender.address = match.captured(2);
    } else if (const QRegularExpressionMatch match = bare.match(from); match.hasMatch()) {
        sender.address = match.captured(1);
        sender.name = match.captured(2).trimmed();
    } else {
        sender.name = from;
    }
    // An undecoded encoded word, or the address again, is no name.
    if (sender.name.startsWith(QStringLiteral("=?")) || sender.name.contains(u'@'))
        sender.name.clear();
    return sender;
}

/** A title that software wrote, not a person: "Microsoft Word - Dokument1", "untitled", a file name. */
bool isWriterTitle(const QString &title)
{
    static const QRegularExpression junk(
        QStringLiteral(
            R"(^(?:microsoft\s+\w+\s+-|untitled|unbenannt|ohne titel|dokument\d*$|document\d*$|)"
            R"(präsentation\d*$|presentation\d*$|powerpoint|title$|titel$)|\.(?:docx?|pdf|xlsx?|pptx?|odt|txt|rtf)$)"),
        QRegularExpression::CaseInsensitiveOption);
    return title.trimmed().isEmpty() || junk.match(title.trimmed()).hasMatch();
}

/**
 * A mail body still in quoted-printable ("Gr=C3=BC=C3=9Fe", lines ending in "=") decoded as UTF-8,
 * else Latin-1; extraction gives a mail's text as written. Text with fewer signs of it stays.
 */
QString withoutQuotedPrintable(const QString &text)
{
    static const QRegularExpression escape(QStringLiteral("=[0-9A-F]{2}"));
    static const QRegularExpression softBreak(QStringLiteral("=\r?\n"));
    constexpr int MinEscapes = 3;
    qsizetype escapes = 0;
    for (QRegularExpressionMatchIterator it = escape.globalMatch(text); it.hasNext() && escapes < MinEscapes; it.next())
        ++escapes;
    if (escapes < MinEscapes && !softBreak.match(text).hasMatch())
        return text;
    QString joined = text;
    joined.remove(softBreak);
    const QByteArray bytes = QByteArray::fromPercentEncoding(joined.toUtf8(), '=');
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : decoded;
}

/** The text the document wrote itself: a mail without the header lines we put above its body. */
QString ownText(const FileContext &context)
{
    if (context.isMediaSummary())
        return {};
    QString text = UnicodeText::nfc(context.extractedText);
    if (context.metadata.value(MetadataMap::SourceKey) == u"eml") {
        const QString headers = formatMetadata(context.metadata).join(u'\n');
        if (!headers.isEmpty() && text.startsWith(headers))
            text = text.mid(headers.size());
        text = UnicodeText::nfc(withoutQuotedPrintable(text));
    }
    return text;
}

/** The user's spelling of the first of `names` they have as a category, compared case- and umlaut-blind. */
std::optional<QString> userCategory(const QStringList &names, const QStringList &categories)
{
    for (const QString &name : names) {
        const QString key = LocalText::folded(name);
        for (const QString &category : categories) {
            if (category.compare(name, Qt::CaseInsensitive) == 0 || LocalText::folded(category) == key)
                return category;
        }
    }
    return std::nullopt;
}

/** How much an identifier says: a VAT ID more than a telephone number, a name least. */
int identifierRank(const QString &identifier)
{
    static const QStringList order{QStringLiteral("vat:"),  QStringLiteral("tax:"), QStringLiteral("iban:"),
                                   QStringLiteral("mail:"), QStringLiteral("tel:"), QStringLiteral("name:")};
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (identifier.startsWith(order[i]))
            return int(i);
    }
    return int(order.size());
}

/** An identifier as it compares: names folded again, the rest case-blind. */
QString comparable(const QString &identifier, const LocalTables::Tables &tables)
{
    if (identifier.startsWith(QStringLiteral("name:")))
        return QStringLiteral("name:") + nameKey(identifier.mid(5), tables);
    return identifier.trimmed().toLower();
}

/** Everything the document says of itself, before e-invoice data and what was learned. */
struct Reading {
    bool hasText = false;
    DateFound date;
    FieldSource dateSource = FieldSource::text;
    AmountFound amount;
    KindFound kind;
    SenderFound sender;
    FieldSource senderSource = FieldSource::text;
    QString subject; ///< a subject or title of the document's own
    FieldSource subjectSource = FieldSource::text;
    bool mediaTitle = false; ///< a recording's or picture's title: its small words stay
    QString heading;
    QString number;
    QStringList identifiers;
};

Reading read(const FileContext &context)
{
    const LocalTables::Tables &tables = LocalTables::get();
    Reading reading;
    const Document document(ownText(context));
    const Layout layout = layoutOf(document, tables);
    reading.hasText = document.nonBlankLines() > 0;

    const std::optional<MailSender> mail = mailSender(context);
    if (const QString subject = decodedWords(context.metadata.value(QStringLiteral("subject")));
        !subject.trimmed().isEmpty()) {
        reading.subject = withoutReplyPrefixes(subject, tables);
        reading.subjectSource = FieldSource::metadata;
    } else if (const QString line = subjectLine(document, layout, tables); !line.isEmpty()) {
        reading.subject = line;
    } else if (const QString title = context.metadata.value(QStringLiteral("title")); !isWriterTitle(title)) {
        reading.subject = title.simplified();
        reading.subjectSource = FieldSource::metadata;
        reading.mediaTitle = context.isMediaSummary();
    } else if (const QString caption = context.metadata.value(QStringLiteral("description"));
               !reading.hasText && !caption.trimmed().isEmpty()) {
        reading.subject = caption.simplified();
        reading.subjectSource = FieldSource::metadata;
        reading.mediaTitle = true;
    }

    reading.kind = findKind(document, layout, tables, reading.subject);
    const int kind = reading.kind.ranking.isEmpty() ? -1 : reading.kind.ranking.front().first;

    // A mail is dated by its header; a picture by its capture when its text gives no sure date.
    const std::optional<QDate> stamped = metadataDate(context);
    if (mail && stamped) {
        reading.date = {stamped, Strength::strong};
        reading.dateSource = FieldSource::metadata;
    } else {
        reading.date = findDate(document, layout, tables, kind, QDate::currentDate());
        if (stamped && reading.date.strength != Strength::strong &&
            (isPicture(context) || !reading.hasText || context.isMediaSummary())) {
            reading.date = {stamped, Strength::strong};
            reading.dateSource = FieldSource::metadata;
        }
    }

    reading.amount = reading.hasText ? findTotal(document, layout, tables, kind) : AmountFound{};

    reading.identifiers = findIdentifiers(document, layout, tables, kind);
    if (mail) {
        if (const QString domain = issuerDomain(mail->address.section(u'@', 1), tables); !domain.isEmpty())
            reading.identifiers.prepend(QStringLiteral("mail:") + domain);
        reading.identifiers.removeDuplicates();
    }
    QStringList domains;
    for (const QString &identifier : std::as_const(reading.identifiers)) {
        if (identifier.startsWith(QStringLiteral("mail:")))
            domains.append(identifier.mid(5));
    }
    reading.sender = findSender(document, layout, tables, mail, domains);
    if (!reading.sender.candidates.isEmpty() && !reading.sender.mailKey.isEmpty() &&
        reading.sender.candidates.front().key == reading.sender.mailKey)
        reading.senderSource = FieldSource::metadata;
    if (!reading.sender.candidates.isEmpty())
        reading.identifiers.append(QStringLiteral("name:") + reading.sender.candidates.front().key);

    if (reading.hasText) {
        reading.heading = firstHeading(document, layout, tables);
        reading.number = documentNumber(document, tables);
    }
    return reading;
}

const LearnedSender *matchLearned(const QStringList &identifiers, const QList<SenderCandidate> &candidates,
                                  const QList<LearnedSender> &learned, const LocalTables::Tables &tables)
{
    QStringList own;
    for (const QString &identifier : identifiers)
        own.append(comparable(identifier, tables));
    for (const SenderCandidate &candidate : candidates)
        own.append(QStringLiteral("name:") + candidate.key);
    const LearnedSender *best = nullptr;
    int bestRank = INT_MAX;
    for (const LearnedSender &sender : learned) {
        QStringList theirs;
        for (const QString &identifier : sender.identifiers)
            theirs.append(comparable(identifier, tables));
        if (!sender.absender.trimmed().isEmpty())
            theirs.append(QStringLiteral("name:") + nameKey(sender.absender, tables));
        for (const QString &identifier : std::as_const(own)) {
            if (identifier.endsWith(u':') || identifier == u"name:" || !theirs.contains(identifier))
                continue;
            if (const int rank = identifierRank(identifier); rank < bestRank)
                best = &sender, bestRank = rank;
        }
    }
    return best;
}

} // namespace

namespace LocalNamer {

LocalNaming name(const FileContext &context, const QStringList &categories, const QList<LearnedSender> &learned)
{
    const LocalTables::Tables &tables = LocalTables::get();
    const Reading reading = read(context);
    LocalNaming naming;
    AIExtraction &fields = naming.extraction;

    // Kind and category: the best kind the user files somewhere; a picture without words is a photo.
    int kind = -1;
    Strength kindStrength = Strength::none;
    for (const auto &[candidate, score] : reading.kind.ranking) {
        if (const auto category = userCategory(tables.kinds[candidate].categories, categories)) {
            fields.kategorie = *category;
            kind = candidate;
            kindStrength = candidate == reading.kind.ranking.front().first ? reading.kind.strength : Strength::weak;
            break;
        }
    }
    // A picture the image classifier takes for a document is a scan, whatever its kind: no photo.
    const bool scan = context.metadata.value(QStringLiteral("classification")).contains(QStringLiteral("document"));
    if (reading.kind.ranking.isEmpty() && isPicture(context) && !scan) {
        for (qsizetype k = 0; k < tables.kinds.size() && !fields.kategorie; ++k) {
            if (tables.kinds[k].media != u"picture")
                continue;
            if (const auto category = userCategory(tables.kinds[k].categories, categories)) {
                fields.kategorie = *category;
                kind = int(k);
                kindStrength =
                    context.metadata.contains(QStringLiteral("camera_make")) ? Strength::strong : Strength::weak;
            }
        }
    }
    if (fields.kategorie)
        naming.sources.insert(Kategorie, reading.hasText ? FieldSource::text : FieldSource::metadata);
    const int readKind = reading.kind.ranking.isEmpty() ? -1 : reading.kind.ranking.front().first;
    const bool hasTotal = readKind >= 0 && tables.kinds[readKind].total;

    Strength dateStrength = reading.date.strength;
    if (reading.date.date) {
        fields.datum = isoDate(*reading.date.date);
        naming.sources.insert(Datum, reading.dateSource);
    }
    Strength amountStrength = reading.amount.strength;
    if (reading.amount.cents) {
        fields.betrag = money(*reading.amount.cents);
        naming.sources.insert(Betrag, FieldSource::text);
    }
    Strength senderStrength = reading.sender.strength;
    if (!reading.sender.candidates.isEmpty()) {
        fields.absender = shortName(reading.sender.candidates.front().name, tables);
        naming.sources.insert(Absender, reading.senderSource);
    }

    // An e-invoice states seller, date and total itself.
    QStringList identifiers = reading.identifiers;
    const std::optional<EInvoice> &invoice = context.invoice;
    if (invoice) {
        if (!invoice->sellerName.trimmed().isEmpty()) {
            fields.absender = shortName(invoice->sellerName, tables);
            naming.sources.insert(Absender, FieldSource::einvoice);
            senderStrength = Strength::strong;
            identifiers.prepend(QStringLiteral("name:") + nameKey(invoice->sellerName, tables));
        }
        if (!invoice->sellerVatId.trimmed().isEmpty())
            identifiers.prepend(QStringLiteral("vat:") + invoice->sellerVatId.trimmed().remove(u' ').toUpper());
        if (invoice->issueDate) {
            fields.datum = isoDate(*invoice->issueDate);
            naming.sources.insert(Datum, FieldSource::einvoice);
            dateStrength = Strength::strong;
        }
        if (invoice->totalCents) {
            fields.betrag = money(*invoice->totalCents);
            naming.sources.insert(Betrag, FieldSource::einvoice);
            amountStrength = Strength::strong;
        }
        const QStringList names =
            invoice->isCreditNote() ? QStringList{QStringLiteral("gutschrift")} +
                                          tables.kinds.value(tables.kindIndex(QStringLiteral("gutschrift"))).categories
                                    : tables.kinds.value(tables.kindIndex(QStringLiteral("rechnung"))).categories;
        if (const auto category = userCategory(names, categories)) {
            fields.kategorie = *category;
            naming.sources.insert(Kategorie, FieldSource::einvoice);
            kind =
                tables.kindIndex(invoice->isCreditNote() ? QStringLiteral("gutschrift") : QStringLiteral("rechnung"));
            kindStrength = Strength::strong;
        }
        identifiers.removeDuplicates();
    }

    // A sender the user kept before: their spelling, and their category and description where the document is vague.
    const LearnedSender *known = matchLearned(identifiers, reading.sender.candidates, learned, tables);
    if (known && !known->absender.trimmed().isEmpty()) {
        fields.absender = known->absender;
        naming.sources.insert(Absender, FieldSource::learned);
        senderStrength = Strength::strong;
        if (known->kategorie && kindStrength != Strength::strong) {
            if (const auto category = userCategory({*known->kategorie}, categories)) {
                fields.kategorie = *category;
                naming.sources.insert(Kategorie, FieldSource::learned);
                kindStrength = Strength::strong;
            }
        }
    }

    // Description: the document's subject, else what the user kept, else its heading or number.
    QStringList avoid;
    if (fields.kategorie)
        avoid.append(LocalText::foldedWords(*fields.kategorie).join(QString()));
    if (kind >= 0)
        avoid += tables.kinds[kind].titles;
    const auto describe = [&](const QString &text) { return shortDescription(text, avoid, tables); };
    // The letterhead is no heading: a description that only names the sender says nothing.
    const auto isSenderName = [&](const QString &text) {
        const QString key = nameKey(text, tables);
        return (fields.absender && key == nameKey(*fields.absender, tables)) ||
               std::any_of(reading.sender.candidates.cbegin(), reading.sender.candidates.cend(),
                           [&](const SenderCandidate &c) { return c.key == key; });
    };
    Strength descriptionStrength = Strength::strong;
    if (const QString subject = shortDescription(reading.subject, avoid, tables, !reading.mediaTitle);
        !subject.isEmpty()) {
        fields.beschreibung = subject;
        naming.sources.insert(Beschreibung, reading.subjectSource);
    } else if (known && !known->beschreibung.trimmed().isEmpty()) {
        fields.beschreibung = known->beschreibung;
        naming.sources.insert(Beschreibung, FieldSource::learned);
    } else if (const QString heading = describe(reading.heading); !heading.isEmpty() && !isSenderName(heading)) {
        fields.beschreibung = heading;
        naming.sources.insert(Beschreibung, FieldSource::text);
        descriptionStrength = Strength::weak;
    } else if (invoice && !invoice->number.trimmed().isEmpty()) {
        fields.beschreibung = QStringLiteral("Nr. ") + invoice->number.trimmed();
        naming.sources.insert(Beschreibung, FieldSource::einvoice);
    } else if (!reading.number.isEmpty()) {
        fields.beschreibung = reading.number;
        naming.sources.insert(Beschreibung, FieldSource::text);
        descriptionStrength = Strength::weak;
    } else {
        descriptionStrength = Strength::none;
    }

    // Confidence: how surely each field was found, over the fields this file can have.
    const bool ownWords = reading.hasText;
    double weighted = DateWeight * part(dateStrength) + KindWeight * part(kindStrength) +
                      DescriptionWeight * part(descriptionStrength);
    double total = DateWeight + KindWeight + DescriptionWeight;
    if (ownWords || invoice) {
        weighted += SenderWeight * part(senderStrength);
        total += SenderWeight;
    }
    if (hasTotal || invoice) {
        weighted += AmountWeight * part(amountStrength);
        total += AmountWeight;
    }
    fields.confidence = std::round((ConfidenceFloor + ConfidenceSpan * weighted / total) * 100.0) / 100.0;

    if (invoice) {
        naming.sure = invoice->isComplete();
        if (naming.sure)
            fields.confidence = InvoiceConfidence;
    } else if (!ownWords) {
        // A picture or recording: its capture date is all there is to be sure of.
        naming.sure = dateStrength == Strength::strong && naming.sources.value(Datum) == FieldSource::metadata;
    } else {
        naming.sure = dateStrength == Strength::strong && senderStrength == Strength::strong &&
                      (!hasTotal || amountStrength == Strength::strong);
    }
    return naming;
}

QStringList senderIdentifiers(const FileContext &context)
{
    const LocalTables::Tables &tables = LocalTables::get();
    QStringList identifiers = read(context).identifiers;
    if (context.invoice) {
        if (!context.invoice->sellerName.trimmed().isEmpty()) {
            identifiers.removeIf([](const QString &id) { return id.startsWith(QStringLiteral("name:")); });
            identifiers.append(QStringLiteral("name:") + nameKey(context.invoice->sellerName, tables));
        }
        if (!context.invoice->sellerVatId.trimmed().isEmpty())
            identifiers.prepend(QStringLiteral("vat:") + context.invoice->sellerVatId.trimmed().remove(u' ').toUpper());
        identifiers.removeDuplicates();
    }
    return identifiers;
}

} // namespace LocalNamer
