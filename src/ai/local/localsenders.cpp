#include "ai/local/localfinders.h"

#include "grounding/amountfinder.h"
#include "grounding/datefinder.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace LocalFinders {
namespace {

// Points of evidence for a name; a sender is sure from StrongScore on and a guess from WeakScore on.
constexpr int MailFrom = 10;
constexpr int MailAddress = 6;
constexpr int ReturnAddress = 9;
constexpr int SenderLabel = 8;
constexpr int Letterhead = 4;
constexpr int LetterheadAddress = 2; // the letterhead's name above its street and town
constexpr int ImprintName = 6;
constexpr int ImprintFirst = 2;
constexpr int FooterName = 4;
constexpr int SignatureOrganisation = 6;
constexpr int SignaturePerson = 4;
constexpr int SignatureClerk = 1; // "i. A. Max Weber" signs for the sender, is not it
constexpr int ContractParty = 8;  // "Mietvertrag zwischen Hausverwaltung Krüger GbR und …": who drew it up
constexpr int RunOnOpening = 6;   // the opening words a run-on text repeats: its letterhead
constexpr int LegalForm = 3;
constexpr int OrganisationWord = 2;
constexpr int Repeated = 1;
constexpr int RepeatedCap = 3;
constexpr int DomainMatch = 3;
constexpr int StrongScore = 9;
constexpr int WeakScore = 4;

constexpr int LetterheadLines = 4;
constexpr double LetterheadPlace = 0.5;
constexpr double FooterPlace = 0.7;
constexpr int MaxNameWords = 7;
constexpr int MaxNameLength = 60;
constexpr int SignatureLines = 4;
// A line this long is a Word file's paragraphs run together: no line is its letterhead or signature alone.
constexpr int RunOnTokens = 40;
constexpr int PartyZone = 2; // a contract names its parties in its first half
constexpr int BrokenNameWords = 4;

/** Legal forms of up to three letters that are no word either, and so count however they are written ("plc"). */
bool isShortFormWord(const QString &key)
{
    static const QSet<QString> forms{QStringLiteral("plc"), QStringLiteral("ltd"), QStringLiteral("inc"),
                                     QStringLiteral("llc"), QStringLiteral("llp"), QStringLiteral("gbr"),
                                     QStringLiteral("ohg"), QStringLiteral("mbh")};
    return forms.contains(key);
}

/** Whether `written` may be the legal form `key`: "AG", not the word "ag". */
bool writtenAsForm(QStringView written, const QString &key)
{
    return key.size() > 3 || isShortFormWord(key) ||
           std::any_of(written.begin(), written.end(), [](QChar c) { return c.isUpper(); });
}

/** The end of a legal form that ends `tokens` (the index of its first token), or -1. */
int legalFormStart(const Document &name, const Tables &tables)
{
    const QList<LocalText::Token> &tokens = name.tokens();
    const int n = int(tokens.size());
    for (int k = std::min(5, n - 1); k >= 1; --k) {
        QString key;
        for (int i = n - k; i < n; ++i)
            key += tokens[i].folded;
        if (!tables.legalForms.find(key))
            continue;
        const QStringView written =
            QStringView(name.text()).sliced(tokens[n - k].start, tokens[n - 1].end - tokens[n - k].start);
        if (!writtenAsForm(written, key))
            continue;
        return n - k;
    }
    return -1;
}

/** Whether a street with its house number starts `text`: "Spediteurstraße 8 …", "2 Wharf Road …". */
bool startsWithStreet(QStringView text)
{
    static const QRegularExpression street(
        QStringLiteral(
            R"(^(?:\d{1,4}[a-z]?\s+(?:\p{L}+\s+){0,3}(?:street|st|road|rd|avenue|ave|lane|drive|way|close|)"
            R"(place|square|row|terrace)\b|[\p{L}-]*(?:straße|strasse|str\.|weg|platz|allee|gasse|ring|damm|)"
            R"(ufer|chaussee|steig|pfad)\s*\d))"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return street.match(text).hasMatch();
}

/** Whether `name` is an organisation called after its building ("WEG Parkstraße 12"): its street is its name. */
bool isAddressName(QStringView name, const Tables &tables)
{
    const Document words(name.toString());
    if (words.tokens().isEmpty())
        return false;
    const auto match = tables.addressNames.at(words, 0);
    if (!match)
        return false;
    const LocalText::Token &first = words.tokens().front();
    return match->last > 0 || first.folded.size() > 3 ||
           name.sliced(first.start, first.end - first.start).toString() == first.folded.toUpper();
}

/**
 * The name at the start of `raw`: up to the end of a legal form inside it ("Oakridge Lettings Ltd 55
 * High Street" → "Oakridge Lettings Ltd", "Muster GmbH Thomas Berger" → "Muster GmbH"), or up to an
 * owner's label or a street that follows it ("Physiotherapie Bewegung Inh. Lea Martens",
 * "Ashworth Joinery 2 Wharf Road"); a form at the end changes nothing.
 */
QStringView throughLegalForm(QStringView raw, const Tables &tables)
{
    const Document name(raw.toString());
    const QList<LocalText::Token> &tokens = name.tokens();
    const int n = int(tokens.size());
    const bool addressName = isAddressName(raw, tables);
    for (int t = 1; t < n && t <= MaxNameWords; ++t) {
        if (tables.imprintMarkers.at(name, t) || (!addressName && startsWithStreet(raw.sliced(tokens[t].start))))
            return raw.first(tokens[t].start);
        const auto match = tables.legalForms.at(name, t);
        if (!match)
            continue;
        QString key;
        for (int i = match->first; i <= match->last; ++i)
            key += tokens[i].folded;
        if (!writtenAsForm(raw.sliced(tokens[t].start, tokens[match->last].end - tokens[t].start), key))
            continue;
        if (match->last + 1 >= n)
            return raw;
        qsizetype end = tokens[match->last].end;
        while (end < raw.size() && raw.at(end) == u'.')
            ++end;
        return raw.first(end);
    }
    return raw;
}

int trailingWordStart(const Document &name, const Tables &tables)
{
    const QList<LocalText::Token> &tokens = name.tokens();
    const int n = int(tokens.size());
    for (int k = std::min(3, n - 1); k >= 1; --k) {
        QString key;
        for (int i = n - k; i < n; ++i)
            key += tokens[i].folded;
        if (tables.trailingWords.find(key))
            return n - k;
    }
    return -1;
}

QString trimmedName(QStringView name)
{
    static const QRegularExpression ends(QStringLiteral(R"(^[\s,;:·|/&+\-–—"'„“”»«*]+|[\s,;:·|/&+\-–—"'„“”»«*]+$)"));
    return name.toString().remove(ends);
}

bool hasLowercase(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLower(); });
}

/** "STADTWERKE MÜNCHEN" → "Stadtwerke München"; acronyms of up to three letters stay ("AOK Bayern"). */
QString calmed(const QString &name)
{
    if (hasLowercase(name))
        return name;
    QString result = name;
    static const QRegularExpression word(QStringLiteral(R"(\p{L}{4,})"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    QRegularExpressionMatchIterator it = word.globalMatch(name);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        result.replace(match.capturedStart() + 1, match.capturedLength() - 1, match.captured().mid(1).toLower());
    }
    return result;
}

/** Whether the first words of `words` form a phrase of `set`. */
template <typename T> bool startsWith(const LocalText::Lexicon<T> &set, const QStringList &words)
{
    QString key;
    for (qsizetype k = 0; k < std::min<qsizetype>(words.size(), 4); ++k) {
        key += words[k];
        if (set.find(key))
            return true;
    }
    return false;
}

bool isTitleWord(const Tables &tables, const QStringList &words)
{
    QString key;
    for (qsizetype k = 0; k < std::min<qsizetype>(words.size(), 3); ++k) {
        key += words[k];
        if (const auto *kinds = tables.kindWords.find(key)) {
            if (std::any_of(kinds->cbegin(), kinds->cend(), [](const auto &w) { return w.title; }))
                return true;
        }
    }
    return false;
}

bool hasOrganisationWord(const Document &name, const Tables &tables)
{
    for (int t = 0; t < name.tokens().size(); ++t) {
        if (tables.organisationWords.at(name, t))
            return true;
    }
    return false;
}

bool hasBankWord(QStringView text, const Tables &tables)
{
    const Document name(text.toString());
    for (int t = 0; t < name.tokens().size(); ++t) {
        if (tables.bankWords.at(name, t))
            return true;
    }
    return false;
}

class Candidates
{
public:
    Candidates(const Document &document, const Layout &layout, const Tables &tables)
        : m_document(document)
        , m_layout(layout)
        , m_tables(tables)
    {
        for (int line = 0; line < document.lines().size(); ++line) {
            if (!layout.recipient[line])
                continue;
            for (const Segment &segment : segmentsOf(document, line)) {
                // "Herrn Max Mustermann" is "max mustermann".
                QStringList words = nameKey(segment.text.toString(), tables).split(u' ', Qt::SkipEmptyParts);
                while (!words.isEmpty() && tables.recipientMarkers.find(words.front()))
                    words.removeFirst();
                m_recipientKeys.insert(words.join(u' '));
            }
        }
        m_recipientKeys.remove(QString());
        // The letterhead is no recipient, whatever line the address block was taken to start at.
        if (const int first = document.nextLine(-1); first >= 0 && !layout.recipient[first]) {
            const QList<Segment> segments = segmentsOf(document, first);
            if (!segments.isEmpty())
                m_recipientKeys.remove(nameKey(segments.front().text.toString(), tables));
        }
    }

    /** A name in `raw`, cleaned; empty when `raw` is no name. */
    QString nameIn(QStringView raw) const
    {
        const QString name = trimmedName(raw);
        if (name.size() < 2 || name.size() > MaxNameLength || !(name.front().isUpper() || name.front().isDigit()))
            return {};
        if (name.contains(u':') || name.contains(u'@') || name.contains(u"www.", Qt::CaseInsensitive) ||
            name.contains(u"http", Qt::CaseInsensitive))
            return {};
        const auto letters = std::count_if(name.cbegin(), name.cend(), [](QChar c) { return c.isLetter(); });
        const auto digits = std::count_if(name.cbegin(), name.cend(), [](QChar c) { return c.isDigit(); });
        if (letters < 2 || digits * 2 > letters)
            return {};
        const QStringList words = LocalText::foldedWords(name);
        if (words.isEmpty() || words.size() > MaxNameWords)
            return {};
        // "The Crooked Spoon": a capitalised name may start with the article that starts sentences too.
        const bool titledThe = words.front() == u"the" && words.size() >= 2 &&
                               std::ranges::all_of(name.split(u' ', Qt::SkipEmptyParts), [](const QString &w) {
                                   return w.front().isUpper() || !w.front().isLetter();
                               });
        if ((!titledThe && startsWith(m_tables.notNames, words)) || startsWith(m_tables.closings, words) ||
            startsWith(m_tables.salutations, words) || startsWith(m_tables.imprintMarkers, words) ||
            startsWith(m_tables.bankMarkers, words) || isTitleWord(m_tables, words) ||
            m_tables.senderLabels.find(words.join(QString())) || m_tables.recipientLabels.find(words.join(QString())))
            return {};
        // "Logistikpark 1", "7 Cornmarket": a street with its house number.
        static const QRegularExpression street(
            QStringLiteral(R"(^\d{1,4}\s*[a-z]?\s+\p{L}|\p{L}\.?\s+\d{1,4}\s*[a-z]?$)"),
            QRegularExpression::UseUnicodePropertiesOption);
        if (((isAddressLine(name) || street.match(name).hasMatch()) && !isAddressName(name, m_tables)) ||
            !Grounding::findDates(name).isEmpty() || !Grounding::findAmounts(name).isEmpty())
            return {};
        return name;
    }

    /** Adds `points` to the name in `raw`; false when it holds none or the recipient's. */
    bool add(QStringView raw, int points)
    {
        const QString name = nameIn(throughLegalForm(raw, m_tables));
        if (name.isEmpty())
            return false;
        const QString key = nameKey(name, m_tables);
        if (key.isEmpty() || m_recipientKeys.contains(key))
            return false;
        const Document words(name);
        const bool legal = legalFormStart(words, m_tables) >= 0;
        const bool organisation = hasOrganisationWord(words, m_tables);
        if (!legal && !organisation) {
            for (const LocalText::Token &token : words.tokens()) {
                if (m_layout.recipientWords.contains(token.folded))
                    return false; // "Sehr geehrter Herr Mustermann" → not "Max Mustermann"
            }
        }
        auto it = m_byKey.find(key);
        if (it == m_byKey.end()) {
            it = m_byKey.insert(key, {name, key, (legal ? LegalForm : 0) + (organisation ? OrganisationWord : 0)});
            m_order.append(key);
        } else if (legal && legalFormStart(Document(it->name), m_tables) < 0) {
            it->name = name; // the fuller spelling
        }
        it->score += points;
        return true;
    }

    [[nodiscard]] bool isOrganisation(QStringView raw) const
    {
        const Document words(trimmedName(throughLegalForm(raw, m_tables)));
        return legalFormStart(words, m_tables) >= 0 || hasOrganisationWord(words, m_tables);
    }

    [[nodiscard]] bool hasLegalForm(QStringView raw) const
    {
        return legalFormStart(Document(trimmedName(throughLegalForm(raw, m_tables))), m_tables) >= 0;
    }

    QList<SenderCandidate> ranked(const QStringList &issuerDomains) const
    {
        QList<SenderCandidate> list;
        for (const QString &key : m_order) {
            SenderCandidate candidate = m_byKey.value(key);
            candidate.score += std::min(RepeatedCap, (occurrences(candidate.key) - 1) * Repeated);
            candidate.score += domainPoints(candidate.key, issuerDomains);
            list.append(candidate);
        }
        std::stable_sort(list.begin(), list.end(), [](const auto &a, const auto &b) { return a.score > b.score; });
        return list;
    }

private:
    int occurrences(const QString &key) const
    {
        const QStringList words = key.split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            return 0;
        const QList<LocalText::Token> &tokens = m_document.tokens();
        int found = 0;
        for (qsizetype i = 0; i + words.size() <= tokens.size(); ++i) {
            if (tokens[i].folded != words.front() || m_layout.recipient[tokens[i].line])
                continue;
            bool all = true;
            for (qsizetype w = 1; w < words.size() && all; ++w)
                all = tokens[i + w].folded == words[w];
            found += all;
        }
        return found;
    }

    static int domainPoints(const QString &key, const QStringList &domains)
    {
        const QString joined = QString(key).remove(u' ');
        const QString first = key.section(u' ', 0, 0);
        for (const QString &domain : domains) {
            QString label = domain.section(u'.', 0, 0);
            label.remove(u'-');
            if (label.isEmpty() || joined.isEmpty())
                continue;
            if (label == joined || label.contains(joined) || (label.size() >= 4 && joined.contains(label)))
                return DomainMatch;
            if (first.size() >= 4 && label.contains(first))
                return DomainMatch - 1;
        }
        return 0;
    }

    const Document &m_document;
    const Layout &m_layout;
    const Tables &m_tables;
    QSet<QString> m_recipientKeys;
    QHash<QString, SenderCandidate> m_byKey;
    QStringList m_order;
};

/** The first piece of `text` between separators. */
QString firstSegment(QStringView text)
{
    const Document line(text.toString());
    const QList<Segment> segments = segmentsOf(line, 0);
    return segments.isEmpty() ? QString() : segments.front().text.toString();
}

/** The text after the label phrase `match` of `set` and its colon ("Absender: Muster GmbH" → "Muster GmbH"). */
std::optional<QStringView> afterLabelAt(const Document &document, int line,
                                        const std::optional<LocalTables::WordSet::Match> &match,
                                        const LocalTables::WordSet &set)
{
    if (!match)
        return std::nullopt;
    const QString &text = document.text();
    qsizetype at = document.tokens()[match->last].end;
    const qsizetype end = document.lines()[line].end;
    const auto skipSpace = [&] {
        while (at < end && (text.at(at) == u' ' || text.at(at) == u'.'))
            ++at;
    };
    skipSpace();
    // "Verkäufer/Auftragnehmer:": labels joined by a slash.
    while (at < end && text.at(at) == u'/') {
        const int next = document.tokenFrom(at);
        const auto more = next < document.tokens().size() && document.tokens()[next].line == line
                              ? set.at(document, next)
                              : std::nullopt;
        if (!more)
            return std::nullopt;
        at = document.tokens()[more->last].end;
        skipSpace();
    }
    if (at >= end || text.at(at) != u':')
        return std::nullopt;
    return QStringView(text).sliced(at + 1, end - at - 1).trimmed();
}

/** The text after a leading label phrase of `set` and its colon. */
std::optional<QStringView> afterLabel(const Document &document, int line, const LocalTables::WordSet &set)
{
    return afterLabelAt(document, line, set.startOf(document, line), set);
}

/** A signature line without its "Ihr", "Team", "i. A.": and whether it signed for someone. */
QString signatureName(QStringView line, const Tables &tables, bool *clerk)
{
    Document words(line.toString());
    const QList<LocalText::Token> &tokens = words.tokens();
    int first = 0, last = int(tokens.size()) - 1;
    *clerk = false;
    while (first <= last) {
        const auto match = tables.signatureWords.at(words, first);
        if (!match)
            break;
        const QString &word = tokens[first].folded;
        if (word == u"i" || word == u"ia" || word == u"iv" || word == u"ppa" || word == u"im" || word == u"in" ||
            word == u"pp")
            *clerk = true;
        first = match->last + 1;
    }
    while (last >= first && (tokens[last].folded == u"team" || tables.signatureWords.find(tokens[last].folded)))
        --last;
    if (first > last)
        return {};
    return QStringView(words.text()).sliced(tokens[first].start, tokens[last].end - tokens[first].start).toString();
}

/** How many of the tokens [first, first + count) stand before the first separator of their text. */
int tokensBeforeSeparator(const Document &document, int first, int count)
{
    const QList<LocalText::Token> &tokens = document.tokens();
    const Document piece(QStringView(document.text())
                             .sliced(tokens[first].start, tokens[first + count - 1].end - tokens[first].start)
                             .toString());
    const QList<Segment> segments = segmentsOf(piece, 0);
    if (segments.isEmpty())
        return count;
    const qsizetype end = segments.front().start + segments.front().text.size();
    int kept = 0;
    while (kept < piece.tokens().size() && piece.tokens()[kept].end <= end)
        ++kept;
    return std::min(count, kept);
}

/**
 * The longest run of words from token `first` on that the text has again elsewhere in the tokens
 * [from, to), cut at the first separator of any of its places: a run-on letter's
 * "Stadt Leipzig" comes back above its signature, "Maple Grove Primary School" in the return
 * address. Empty when fewer than two words come back.
 */
QString repeatedRun(const Document &document, int first, int from, int to)
{
    const QList<LocalText::Token> &tokens = document.tokens();
    int best = 0;
    QList<int> places;
    for (int p = from; p < to; ++p) {
        int k = 0;
        while (k < MaxNameWords && p + k < to && first + k < int(tokens.size()) &&
               (p > first ? first + k < p : p + k < first) && tokens[first + k].folded == tokens[p + k].folded)
            ++k;
        if (k > best)
            best = k, places = {p};
        else if (k == best && k > 0)
            places.append(p);
    }
    if (best < 2)
        return {};
    int keep = tokensBeforeSeparator(document, first, best);
    for (const int place : std::as_const(places))
        keep = std::min(keep, tokensBeforeSeparator(document, place, best));
    if (keep < 2)
        return {};
    return QStringView(document.text())
        .sliced(tokens[first].start, tokens[first + keep - 1].end - tokens[first].start)
        .toString();
}

/** The first party after "zwischen" / "between": up to its role, its representative or the other party. */
QString partyAfter(const Document &document, int last, const Tables &tables)
{
    static const QRegularExpression end(QStringLiteral(R"([(,;]|\s(?:und|and|sowie|vertreten)\s)"));
    const QList<LocalText::Token> &tokens = document.tokens();
    const int line = tokens[last].line;
    int first = last + 1;
    // "zwischen der Softwarehaus Nordlicht AG": the article is no part of the name.
    while (first < document.lines()[line].endToken && tables.signatureWords.find(tokens[first].folded) &&
           tokens[first].folded.size() <= 3)
        ++first;
    if (first >= document.lines()[line].endToken)
        return {};
    QStringView rest =
        QStringView(document.text()).sliced(tokens[first].start, document.lines()[line].end - tokens[first].start);
    rest = throughLegalForm(rest, tables);
    if (const QRegularExpressionMatch match = end.match(rest); match.hasMatch())
        rest = rest.first(match.capturedStart());
    return LocalText::foldedWords(rest).size() >= 2 ? rest.trimmed().toString() : QString();
}

} // namespace

QString shortName(const QString &name, const Tables &tables)
{
    static const QRegularExpression domainEnd(QStringLiteral(R"(\.(?:de|com|net|org|eu|at|ch|co\.uk|io)$)"),
                                              QRegularExpression::CaseInsensitiveOption);
    // A scan's specks before a word: "Autohaus ‚Brenner", "Elbmarsch _Versicherungsverein".
    static const QRegularExpression speck(QStringLiteral(R"((?<=\s)[‚‘’'`´_"„“”»«]+(?=\p{L}))"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    QString result = trimmedName(name).remove(domainEnd).remove(speck);
    for (int round = 0; round < 4; ++round) {
        const Document words(result);
        int cut = legalFormStart(words, tables);
        if (cut < 0)
            cut = trailingWordStart(words, tables);
        if (cut <= 0)
            break;
        qsizetype end = words.tokens()[cut].start;
        // "Versicherungs-AG": the form takes its word along, if another word stays.
        if (end > 0 && result.at(end - 1) == u'-' && cut >= 2)
            end = words.tokens()[cut - 1].start;
        result = trimmedName(QStringView(result).first(end));
    }
    return calmed(result.simplified());
}

QString nameKey(const QString &name, const Tables &tables)
{
    return LocalText::folded(shortName(name, tables));
}

SenderFound findSender(const Document &document, const Layout &layout, const Tables &tables,
                       const std::optional<MailSender> &mail, const QStringList &issuerDomains)
{
    Candidates candidates(document, layout, tables);

    SenderFound found;
    if (mail) {
        QString name = mail->name;
        int points = MailFrom;
        if (candidates.nameIn(name).isEmpty()) {
            points = MailAddress;
            if (const QString domain = issuerDomain(mail->address.section(u'@', 1), tables); !domain.isEmpty()) {
                const QString label = domain.section(u'.', 0, 0);
                name = label.left(1).toUpper() + label.mid(1);
            } else {
                // A private address: its local part is the person ("max.mustermann" → "Max Mustermann").
                QStringList parts = mail->address.section(u'@', 0, 0)
                                        .split(QRegularExpression(QStringLiteral("[._-]")), Qt::SkipEmptyParts);
                for (QString &part : parts)
                    part = part.left(1).toUpper() + part.mid(1);
                name = parts.join(u' ');
            }
        }
        if (candidates.add(name, points))
            found.mailKey = nameKey(candidates.nameIn(name), tables);
    }

    if (layout.returnAddressLine >= 0) {
        const QList<Segment> segments = segmentsOf(document, layout.returnAddressLine);
        QString first = segments.front().text.toString();
        if (const auto rest = afterLabel(document, layout.returnAddressLine, tables.senderLabels)) {
            first = firstSegment(*rest);
        } else if (const auto label = tables.senderLabels.startOf(document, layout.returnAddressLine)) {
            // "Abs. Muster GmbH · …": the abbreviation's dot stands for the colon.
            const qsizetype end = document.tokens()[label->last].end;
            if (end < document.text().size() && document.text().at(end) == u'.')
                first = firstSegment(QStringView(document.text())
                                         .sliced(end + 1, document.lines()[layout.returnAddressLine].end - end - 1));
        }
        candidates.add(first, ReturnAddress);
    }

    const int lines = int(document.lines().size());
    const int tokenCount = int(document.tokens().size());
    const auto runOn = [&](int line) { return document.tokenCount(line) > RunOnTokens; };

    // A run-on text's letterhead: the opening words it repeats.
    bool letterhead = false;
    if (const int first = document.nextLine(-1);
        first >= 0 && runOn(first) && !layout.recipient[first] && !tables.recipientMarkers.startOf(document, first)) {
        if (const QString opening = repeatedRun(document, document.lines()[first].firstToken, 0, tokenCount);
            !opening.isEmpty()) {
            letterhead = candidates.add(opening, RunOnOpening);
        } else if (const QStringView segment = segmentsOf(document, first).value(0).text;
                   throughLegalForm(segment, tables).size() < segment.size()) {
            // Said once, its legal form or street ends it: "Bäckerei Hansen GmbH & Co. KG Verdienstabrechnung …".
            letterhead = candidates.add(segment, Letterhead);
        }
    }
    // A run-on text's labels stand inside its line: "… Verkäufer: Autohaus Brenner GmbH, Ringstraße 50 …".
    for (int line = 0; line < lines; ++line) {
        if (!runOn(line))
            continue;
        for (const auto &match : tables.senderLabels.inLine(document, line)) {
            if (const auto rest = afterLabelAt(document, line, match, tables.senderLabels); rest && !rest->isEmpty())
                candidates.add(firstSegment(*rest), SenderLabel);
        }
    }

    // A contract's first party drew it up.
    for (int line = 0; line < lines; ++line) {
        bool found = false;
        for (const auto &match : tables.partyWords.inLine(document, line)) {
            if (match.first * PartyZone > tokenCount)
                break;
            if (const QString party = partyAfter(document, match.last, tables);
                !party.isEmpty() && candidates.add(party, ContractParty)) {
                found = true;
                break;
            }
        }
        if (found)
            break;
    }

    // The payment footer's lines, and those beside them: "Kreissparkasse Köln" above "IBAN …".
    const auto nearBank = [&](int line) {
        const int before = document.previousLine(line), after = document.nextLine(line);
        return layout.bank[line] || (before >= 0 && layout.bank[before]) || (after >= 0 && layout.bank[after]);
    };
    for (int line = 0; line < lines; ++line) {
        if (document.lines()[line].isBlank() || layout.recipient[line])
            continue;
        if (const auto rest = afterLabel(document, line, tables.senderLabels)) {
            if (rest->isEmpty()) {
                if (const int next = document.nextLine(line); next >= 0)
                    candidates.add(firstSegment(document.lineText(next)), SenderLabel);
            } else {
                candidates.add(firstSegment(*rest), SenderLabel);
            }
            continue;
        }
        if (!letterhead && document.rank(line) < LetterheadLines && document.place(line) < LetterheadPlace &&
            !nearBank(line) && line != layout.returnAddressLine) {
            QString first = segmentsOf(document, line).value(0).text.toString();
            int next = document.nextLine(line);
            // A name the layout broke into lines of a word each: "Tessaract\nRobotics\nLtd".
            if (document.rank(line) == 0 && document.tokenCount(line) == 1) {
                for (; next >= 0 && document.tokenCount(next) == 1 &&
                       LocalText::foldedWords(first).size() < BrokenNameWords;
                     next = document.nextLine(next)) {
                    const QString word = document.lineText(next).trimmed().toString();
                    const Document joined(first + u' ' + word);
                    if (tables.kindWords.at(joined, int(joined.tokens().size()) - 1) ||
                        (candidates.nameIn(word).isEmpty() && legalFormStart(joined, tables) < 0))
                        break;
                    first += u' ' + word;
                }
            }
            if (!candidates.nameIn(first).isEmpty()) {
                int points = Letterhead;
                const int after = next >= 0 ? document.nextLine(next) : -1;
                if ((next >= 0 && isAddressLine(document.lineText(next))) ||
                    (after >= 0 && isAddressLine(document.lineText(after))))
                    points += LetterheadAddress;
                letterhead = candidates.add(first, points);
                if (letterhead)
                    continue;
            }
        }
        const bool footer = document.place(line) > FooterPlace && document.nonBlankLines() > 6;
        if (!layout.imprint[line] && !footer)
            continue;
        const QList<Segment> segments = segmentsOf(document, line);
        for (qsizetype s = 0; s < segments.size(); ++s) {
            const QStringView segment = segments[s].text;
            if (nearBank(line) && hasBankWord(segment, tables))
                continue;
            if (candidates.hasLegalForm(segment))
                candidates.add(segment, layout.imprint[line] ? ImprintName : FooterName);
            else if (layout.imprint[line] && s == 0)
                candidates.add(segment, ImprintFirst);
        }
    }

    if (layout.closingLine >= 0) {
        QList<QStringView> signature;
        const QStringView rest =
            QStringView(document.text())
                .sliced(layout.closingEnd, document.lines()[layout.closingLine].end - layout.closingEnd);
        if (!rest.trimmed().isEmpty())
            signature.append(rest);
        for (int line = document.nextLine(layout.closingLine); line >= 0 && signature.size() < SignatureLines;
             line = document.nextLine(line))
            signature.append(document.lineText(line));
        for (const QStringView line : std::as_const(signature)) {
            bool clerk = false;
            const QString name = signatureName(firstSegment(line), tables, &clerk);
            if (name.isEmpty())
                continue;
            if (candidates.isOrganisation(name)) {
                if (candidates.add(name, SignatureOrganisation))
                    break;
            } else {
                candidates.add(name, clerk ? SignatureClerk : SignaturePerson);
            }
        }
    }

    // A run-on text's closing stands inside its line: what follows is the signature, the sender's name
    // the part of it that the text has said before ("… Freundliche Grüße Stadt Leipzig Sandra Klein").
    for (int line = 0; layout.closingLine < 0 && line < lines; ++line) {
        if (!runOn(line))
            continue;
        const QList<LocalTables::WordSet::Match> closings = tables.closings.inLine(document, line);
        if (closings.isEmpty() || closings.last().last + 1 >= document.lines()[line].endToken)
            continue;
        const int signature = closings.last().last + 1;
        const int end = std::min(document.lines()[line].endToken, signature + MaxNameWords + 2);
        const QStringView rest = QStringView(document.text())
                                     .sliced(document.tokens()[signature].start,
                                             document.tokens()[end - 1].end - document.tokens()[signature].start);
        const QStringView organisation = throughLegalForm(rest, tables);
        if (organisation.size() < rest.size()) {
            candidates.add(organisation, SignatureOrganisation);
        } else if (const QString said = repeatedRun(document, signature, 0, closings.last().first); !said.isEmpty()) {
            candidates.add(said, candidates.isOrganisation(said) ? SignatureOrganisation : SignaturePerson);
        }
    }

    for (const SenderCandidate &candidate : candidates.ranked(issuerDomains)) {
        if (candidate.score >= WeakScore)
            found.candidates.append(candidate);
    }
    if (!found.candidates.isEmpty())
        found.strength = found.candidates.front().score >= StrongScore ? Strength::strong : Strength::weak;
    return found;
}

} // namespace LocalFinders
