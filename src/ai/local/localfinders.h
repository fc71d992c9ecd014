#pragma once

#include "ai/local/localtables.h"
#include "ai/local/localtext.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

/**
 * The field finders of the on-device namer. Each reads the document's lines and the data tables
 * and says what it found and how surely; LocalNamer puts the answers together.
 */
namespace LocalFinders {

using LocalTables::Tables;
using LocalText::Document;

enum class Strength { none, weak, strong };

/** Which lines are what: the recipient's address block, the payment footer, the legal footer. */
struct Layout {
    QList<bool> recipient;
    QList<bool> bank;
    QList<bool> imprint;
    int returnAddressLine = -1;   ///< "Firma · Straße · PLZ Ort" above the address window
    int closingLine = -1;         ///< "Mit freundlichen Grüßen"
    qsizetype closingEnd = -1;    ///< where the closing words end in that line
    QSet<QString> recipientWords; ///< folded words of the recipient's name and the salutation's
};

[[nodiscard]] Layout layoutOf(const Document &document, const Tables &tables);

/** The pieces of a line between separators ("·", "|", " - ", ",", wide gaps), trimmed, with their offsets. */
struct Segment {
    QStringView text;
    qsizetype start = 0; ///< in the document
};
[[nodiscard]] QList<Segment> segmentsOf(const Document &document, int line);

/** How columnPairs reads a table whose labels and values PDF text gives as separate columns. */
struct ColumnRules {
    std::function<bool(int)> isLabel;   ///< a line that may be a label ("Netto", "Datum")
    std::function<bool(int)> isValue;   ///< a line that may be a value ("119,00 €", "15.03.2024")
    std::function<bool(int)> isKeyed;   ///< a label line whose words the field's table knows
    std::function<bool(int, int)> fits; ///< whether a label line may answer with a value line; unset: any
    /// Labels far from their values need this many keyed lines (a label column beside its values needs one).
    int keyedFar = 2;
    /// Values answer their labels from the end (a total block under the items) or from the start.
    bool fromEnd = true;
};

/**
 * A column of values below a column of labels, as PDF text gives a table: "Netto\nMwSt\nBrutto"
 * and later "100,00\n19,00\n119,00". Maps each value line to the label line it answers. The
 * recipient's address block between them does not count; a one-word line right above a value
 * column of another length heads that column and is no label; a label column right above its values takes
 * the lines below it whatever they hold ("Patient" over "Julia Becker").
 */
[[nodiscard]] QHash<int, int> columnPairs(const Document &document, const Layout &layout, const ColumnRules &rules);

/** Whether a line holds a legal form ("Muster GmbH") or is a kind's title ("Rechnung"): no label. */
[[nodiscard]] bool isNameOrTitle(const Document &document, const Tables &tables, int line);

/** Whether a line is a street with its house number, a post-office box or a postcode with a town. */
[[nodiscard]] bool isAddressLine(QStringView line);
[[nodiscard]] bool hasPostcode(QStringView line);

struct DateFound {
    std::optional<QDate> date;
    Strength strength = Strength::none;
};
/** The document's own date among the dates of its text; `kind` as for findTotal. */
[[nodiscard]] DateFound findDate(const Document &document, const Layout &layout, const Tables &tables, int kind,
                                 QDate today);

struct AmountFound {
    std::optional<qint64> cents;
    Strength strength = Strength::none;
};
/**
 * The total to pay. `kind` (an index into the kinds, or -1) decides how strict: kinds without a
 * total need the strongest labels, kinds with one may take a receipt's unlabelled final sum.
 */
[[nodiscard]] AmountFound findTotal(const Document &document, const Layout &layout, const Tables &tables, int kind);

struct KindFound {
    QList<std::pair<int, int>> ranking; ///< (kind, score), best first, only kinds that fit
    Strength strength = Strength::none;
};
/** The kinds the document's words point to; `subject` (a mail's or a title) counts as a heading. */
[[nodiscard]] KindFound findKind(const Document &document, const Layout &layout, const Tables &tables,
                                 const QString &subject);

struct SenderCandidate {
    QString name; ///< as the document writes it, legal form included
    QString key;  ///< folded, without legal form (the "name:" identifier)
    int score = 0;
};
struct SenderFound {
    QList<SenderCandidate> candidates; ///< best first
    QString mailKey;                   ///< the key of the name a mail's From header gave
    Strength strength = Strength::none;
};
/** What a mail's From header gives: its display name, or else the name its address implies. */
struct MailSender {
    QString name;
    QString address;
};
[[nodiscard]] SenderFound findSender(const Document &document, const Layout &layout, const Tables &tables,
                                     const std::optional<MailSender> &mail, const QStringList &issuerDomains);

/** "Telekom Deutschland GmbH" → "Telekom": legal form and trailing words dropped, shouting calmed. */
[[nodiscard]] QString shortName(const QString &name, const Tables &tables);
/** The folded key of a name: "Stadtwerke München GmbH" → "stadtwerke muenchen". */
[[nodiscard]] QString nameKey(const QString &name, const Tables &tables);

/** Issuer identifiers in the text ("vat:…", "tax:…", "iban:…", "mail:…", "tel:…"), without "name:". */
[[nodiscard]] QStringList findIdentifiers(const Document &document, const Layout &layout, const Tables &tables,
                                          int kind);
/** The registrable domain of a mail address or host ("rechnung.telekom.de" → "telekom.de"); empty for freemail. */
[[nodiscard]] QString issuerDomain(const QString &host, const Tables &tables);

/** A subject line's text ("Betreff: …", "Subject: …"); empty when the document has none. */
[[nodiscard]] QString subjectLine(const Document &document, const Layout &layout, const Tables &tables);
/** "AW: WG: Ihre Rechnung" → "Ihre Rechnung". */
[[nodiscard]] QString withoutReplyPrefixes(const QString &subject, const Tables &tables);
/** The document's first heading: a short line near the top that is no address, date or label. */
[[nodiscard]] QString firstHeading(const Document &document, const Layout &layout, const Tables &tables);
/** "Nr. 2024-0815" from the document's own number ("Rechnungsnummer: 2024-0815"); empty without one. */
[[nodiscard]] QString documentNumber(const Document &document, const Tables &tables);
/**
 * At most five words of `text` with the category's and the kind's own words (`avoid`, folded) left
 * out, and fillers too where `dropFillers` ("Ihre Stromrechnung für März 2024", category
 * "rechnung" → "Strom März 2024"); a song's or film's title keeps its small words.
 */
[[nodiscard]] QString shortDescription(const QString &text, const QStringList &avoid, const Tables &tables,
                                       bool dropFillers = true);

} // namespace LocalFinders
