#include "ai/local/localfinders.h"

#include "grounding/datefinder.h"
#include "grounding/monthnames.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace LocalFinders {
namespace {

constexpr int StrongLabel = 5; // "Datum" and stronger
constexpr int LetterLine = 8;  // "München, 15.03.2024"
constexpr int StrongScore = 6;
constexpr int RangePenalty = 4; // either end of "01.03.2024 - 31.03.2024" is a period, not a date
constexpr int FuturePenalty = 4;
constexpr int AncientPenalty = 6; // a birth or founding year, not a document's date
constexpr int EarliestYear = 1950;
constexpr int TimeBonus = 3;        // "12.01.2023 15:25": when a receipt was printed, the purchase
constexpr int ReferencePenalty = 8; // "Ihre Schadenmeldung vom …", "our invoice no. 123 of …"
constexpr int LabelReach = 6;       // labels further before a date than this many words are another's
constexpr int PlaceWord = 4;        // "… Leipzig, 10.07.23 …" inside a line that lost its breaks
constexpr int RowPenalty = 3;       // a date that starts one of several rows: a booking, a treatment, an item
constexpr int TitleLine = 6;        // "Protokoll der Sitzung vom 30.01.2023", "Rechnung vom …" heading the document

struct Candidate {
    Grounding::FoundDate found;
    int line = 0;
    int labels = 0;
    bool labelled = false;
    bool letterLine = false;
    int score = 0;
};

/** A label's weight; on a delivery note its delivery date is its own date. */
int weightOf(const Document &document, const Tables &tables, const LocalText::Lexicon<int>::Match &match,
             bool deliveryNote)
{
    if (deliveryNote) {
        QString key;
        for (int t = match.first; t <= match.last; ++t)
            key += document.tokens()[t].folded;
        if (const int *own = tables.deliveryNoteDateLabels.find(key))
            return *own;
    }
    return *match.value;
}

/** The sum of the label weights in tokens [from, to). */
int labelSum(const Document &document, const Tables &tables, int from, int to, bool deliveryNote, bool *labelled)
{
    int sum = 0;
    for (const auto &match : tables.dateLabels.findAll(document, from, to)) {
        sum += weightOf(document, tables, match, deliveryNote);
        *labelled = true;
    }
    return sum;
}

/** "Ihre Anfrage vom", "unsere Rechnung Nr. 4711 vom", "your letter of": a date of another paper. */
bool isReference(QStringView before)
{
    static const QRegularExpression reference(
        QStringLiteral(
            R"(\b(?:ihre[mnrs]?|ihr|unsere[mnrs]?|unser|your|our)\s+[^.:;]{1,40}?\b(?:vom|of|dated|from)\s*(?:\p{L}{2,10}\.?,?\s*)?$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return reference.match(before.right(60)).hasMatch();
}

/** "15.03.2024 14:32", "15/03/2024, 09:08": a date with the time of day. */
bool hasTime(QStringView after)
{
    static const QRegularExpression time(QStringLiteral(R"(^,?\s{1,3}(?:um\s+|at\s+)?[0-2]?\d:[0-5]\d\b)"));
    return time.match(after.left(16)).hasMatch();
}

/** Negative labels right after the date ("15.04.2024 fällig"). */
int trailingPenalty(const Document &document, const Tables &tables, qsizetype end, int line, int stopToken,
                    bool deliveryNote)
{
    int sum = 0;
    int t = document.tokenFrom(end);
    for (int i = 0; i < 2 && t < stopToken && t < document.tokens().size() && document.tokens()[t].line == line; ++i) {
        const auto match = tables.dateLabels.at(document, t);
        if (!match || match->last + 3 >= stopToken)
            break; // "Datum 28.07.2023 Gültig bis 27.08.2023": the label is the next date's
        if (const int weight = weightOf(document, tables, *match, deliveryNote); weight < 0)
            sum += weight;
        t = match->last + 1;
    }
    return sum;
}

bool isLetterLine(QStringView before, QStringView after)
{
    // "München, 15.03.2024", "Berlin, den 1. März 2024", "London, 15 March 2024".
    static const QRegularExpression place(
        QStringLiteral(R"(^\s*\p{Lu}[\p{L}\p{M}.\- /()]{1,40},\s*(?:den\s+|the\s+)?$)"),
        QRegularExpression::UseUnicodePropertiesOption);
    // A plain-text letter sets its date flush right: "                    Leipzig, 15.03.2024".
    static const QRegularExpression flushRight(QStringLiteral(R"(^[ \t]{12,}(?:\S+(?:\s+\S+){0,2}\s*)?$)"));
    return after.trimmed().isEmpty() && (place.match(before).hasMatch() || flushRight.match(before).hasMatch());
}

/** "… 04229 Leipzig Leipzig, 10.07.23 Ankündigung …": a place and its comma right before the date. */
bool isPlaceWord(QStringView before)
{
    static const QRegularExpression place(QStringLiteral(R"((?:^|\s)\p{Lu}[\p{L}\p{M}\-]{2,30},\s*(?:den\s+)?$)"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    return place.match(before).hasMatch();
}

/** Where the sentence that ends at `to` starts: after the last ". " before a capital, or at `from`. */
qsizetype sentenceStart(QStringView text, qsizetype from, qsizetype to)
{
    static const QRegularExpression end(QStringLiteral(R"([.!?;]\s+(?=\p{Lu}))"),
                                        QRegularExpression::UseUnicodePropertiesOption);
    qsizetype start = from;
    for (auto it = end.globalMatch(text.sliced(from, to - from)); it.hasNext();)
        start = from + it.next().capturedEnd();
    return start;
}

bool isRangeJoint(QStringView between)
{
    static const QRegularExpression joint(QStringLiteral(R"(^\s*(?:-|–|—|bis(?:\s+zum)?|to|until|through|till)\s*$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    return joint.match(between).hasMatch();
}

/**
 * The slash dates the date finder leaves out because both readings are dates ("05/07/2023"), read
 * the way the document writes its others: day first where one of them has a day above 12, month
 * first where one has a month above 12; otherwise day first unless the document counts in dollars.
 */
QList<Grounding::FoundDate> ambiguousSlashDates(QStringView text)
{
    static const QRegularExpression slash(QStringLiteral(R"((?<![\d/.])(\d{1,2})/(\d{1,2})/(\d{4}|\d{2})(?![\d/]))"));
    struct Slashed {
        int first, second, year;
        qsizetype position, length;
    };
    QList<Slashed> ambiguous;
    int dayFirst = 0, monthFirst = 0;
    for (auto it = slash.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        const int a = match.capturedView(1).toInt(), b = match.capturedView(2).toInt();
        int year = match.capturedView(3).toInt();
        if (match.capturedLength(3) == 2)
            year += year < 70 ? 2000 : 1900;
        if (a > 12 && b <= 12)
            ++dayFirst;
        else if (b > 12 && a <= 12)
            ++monthFirst;
        else if (a != b && a >= 1 && b >= 1 && a <= 12 && b <= 12)
            ambiguous.append({a, b, year, match.capturedStart(), match.capturedLength()});
    }
    const bool dollars = text.contains(u'$') || text.contains(QStringLiteral("USD"));
    const bool byMonth = monthFirst > dayFirst || (monthFirst == dayFirst && dollars);
    QList<Grounding::FoundDate> found;
    for (const Slashed &s : std::as_const(ambiguous)) {
        const QDate date = byMonth ? QDate(s.year, s.first, s.second) : QDate(s.year, s.second, s.first);
        if (date.isValid())
            found.append({date, s.position, s.length});
    }
    return found;
}

/**
 * What the date finder does not read: month names that OCR broke apart ("19 J une 2023", "Jan 5"
 * read as "J an 5, 2024", a J read as "]" or "|"), the year first with slashes or dots and an
 * ordinal day before the month ("19th July 2022").
 */
QList<Grounding::FoundDate> moreDates(QStringView text)
{
    static const QRegularExpression dayFirst(
        QStringLiteral(R"((?<![\d.])(\d{1,2})\.?\s+([A-Za-z\]|)])\s?([a-zäöü]{2,8})\.?,?\s+(\d{4})(?!\d))"));
    static const QRegularExpression monthFirst(
        QStringLiteral(R"((?<![\p{L}])([A-Za-z\]|)])\s([a-zäöü]{2,8})\.?\s+(\d{1,2}),?\s+(\d{4})(?!\d))"),
        QRegularExpression::UseUnicodePropertiesOption);
    const auto month = [](QStringView first, QStringView rest) {
        QString name = first.toString() + rest.toString();
        if (name.front() == u']' || name.front() == u'|' || name.front() == u')')
            name.front() = u'j';
        return Grounding::monthNames().value(name.toCaseFolded(), 0);
    };
    QList<Grounding::FoundDate> found;
    const auto collect = [&found, text](const QRegularExpression &pattern, auto dateOf) {
        for (auto it = pattern.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            if (const QDate date = dateOf(m); date.isValid())
                found.append({date, m.capturedStart(), m.capturedLength()});
        }
    };
    // The year first with slashes or dots, as software and the Far East write it: "2021/06/27".
    static const QRegularExpression yearFirst(
        QStringLiteral(R"((?<![\d/.])((?:19|20)\d\d)([/.])(\d{1,2})\2(\d{1,2})(?![\d/.]))"));
    collect(yearFirst, [](const QRegularExpressionMatch &m) {
        return QDate(m.capturedView(1).toInt(), m.capturedView(3).toInt(), m.capturedView(4).toInt());
    });
    // "19th July 2022": the date finder reads the ordinal only after the month.
    static const QRegularExpression ordinal(
        QStringLiteral(R"((?<![\d.])(\d{1,2})(?:st|nd|rd|th)\s+(\p{L}{3,9})\.?,?\s+(\d{4})(?!\d))"),
        QRegularExpression::UseUnicodePropertiesOption);
    collect(ordinal, [](const QRegularExpressionMatch &m) {
        return QDate(m.capturedView(3).toInt(), Grounding::monthNames().value(m.captured(2).toCaseFolded(), 0),
                     m.capturedView(1).toInt());
    });
    collect(dayFirst, [&month](const QRegularExpressionMatch &m) {
        return QDate(m.capturedView(4).toInt(), month(m.capturedView(2), m.capturedView(3)), m.capturedView(1).toInt());
    });
    collect(monthFirst, [&month](const QRegularExpressionMatch &m) {
        return QDate(m.capturedView(4).toInt(), month(m.capturedView(1), m.capturedView(2)), m.capturedView(3).toInt());
    });
    return found;
}

} // namespace

DateFound findDate(const Document &document, const Layout &layout, const Tables &tables, int kind, QDate today)
{
    const bool deliveryNote = kind >= 0 && tables.kinds[kind].name == u"lieferschein";
    QList<Grounding::FoundDate> found = Grounding::findDates(document.text());
    found += ambiguousSlashDates(document.text());
    found += moreDates(document.text());
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
        return a.position != b.position ? a.position < b.position : a.length > b.length;
    });
    QList<Candidate> candidates;
    for (const Grounding::FoundDate &date : std::as_const(found)) {
        if (!candidates.isEmpty()) {
            const auto &last = candidates.last().found;
            if (date.position < last.position + last.length)
                continue; // one date read by two forms
        }
        candidates.append({date, document.lineOf(date.position)});
    }
    if (candidates.isEmpty())
        return {};

    QHash<int, QList<int>> byLine;
    for (int i = 0; i < candidates.size(); ++i)
        byLine[candidates[i].line].append(i);

    const QString &text = document.text();
    // Columns: labels are short lines without digits, values short lines with one.
    ColumnRules columns;
    columns.isLabel = [&](int line) {
        const QStringView l = document.lineText(line);
        return document.tokenCount(line) <= 6 &&
               std::none_of(l.begin(), l.end(), [](QChar c) { return c.isDigit(); }) &&
               !isNameOrTitle(document, tables, line);
    };
    // A date among the values stands alone ("Fri, 22 Oct 2021"); "17.10.2021 Payment received" is a row.
    static const QRegularExpression weekday(QStringLiteral(R"(^\W*(?:\p{L}{2,10}\.?)?\W*$)"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    columns.isValue = [&](int line) {
        const QStringView l = document.lineText(line).trimmed();
        if (const auto dates = byLine.constFind(line); dates != byLine.cend()) {
            if (dates->size() != 1)
                return false;
            const Grounding::FoundDate &date = candidates[dates->front()].found;
            QString rest = document.lineText(line).toString();
            rest.remove(date.position - document.lines()[line].start, date.length);
            return weekday.match(rest).hasMatch();
        }
        return l.split(u' ', Qt::SkipEmptyParts).size() <= 4 &&
               std::any_of(l.begin(), l.end(), [](QChar c) { return c.isDigit(); });
    };
    columns.isKeyed = [&](int line) {
        const auto labels = tables.dateLabels.inLine(document, line);
        return std::any_of(labels.cbegin(), labels.cend(),
                           [](const auto &m) { return std::abs(*m.value) >= StrongLabel; });
    };
    columns.fits = [&](int label, int value) { return !columns.isKeyed(label) || byLine.contains(value); };
    columns.keyedFar = 1;
    columns.fromEnd = false;
    QHash<int, int> pairs = columnPairs(document, layout, columns);
    // Three or more lines of a date alone one below the other are a table's column (treatments,
    // bookings) under one head, not a label's value.
    for (int line = 0; line < document.lines().size();) {
        int end = line;
        while (end < document.lines().size() && byLine.contains(end) && columns.isValue(end))
            ++end;
        int keyed = 0; // a list of labelled dates ("Bestellt am:", "Rechnungsdatum:", "Versanddatum:") is none
        for (int l = line; l < end; ++l)
            keyed += pairs.contains(l) && columns.isKeyed(pairs[l]);
        if (end - line >= 3 && keyed <= 1) {
            for (int l = line; l < end; ++l)
                pairs.remove(l);
        }
        line = end + 1;
    }
    for (int i = 0; i < candidates.size(); ++i) {
        Candidate &c = candidates[i];
        const LocalText::Line &line = document.lines()[c.line];
        const QList<int> &sameLine = byLine[c.line];
        const qsizetype k = sameLine.indexOf(i);
        const Candidate *previous = k > 0 ? &candidates[sameLine[k - 1]] : nullptr;
        const qsizetype from = sentenceStart(
            text, previous ? previous->found.position + previous->found.length : line.start, c.found.position);
        const int toToken = document.tokenFrom(c.found.position);
        const int fromToken = std::max(document.tokenFrom(from), toToken - LabelReach);
        const int nextToken =
            k + 1 < sameLine.size() ? document.tokenFrom(candidates[sameLine[k + 1]].found.position) : line.endToken;

        int score = 1;
        if (previous && isRangeJoint(QStringView(text).sliced(from, c.found.position - from))) {
            c.labels = previous->labels;
            c.labelled = previous->labelled;
            score -= RangePenalty;
            candidates[sameLine[k - 1]].score -= RangePenalty;
        } else {
            c.labels = labelSum(document, tables, fromToken, toToken, deliveryNote, &c.labelled);
            if (isReference(QStringView(text).sliced(from, c.found.position - from)))
                c.labels -= ReferencePenalty, c.labelled = true;
        }
        if (!c.labelled) {
            if (const auto pair = pairs.constFind(c.line); pair != pairs.cend()) {
                // The label in the column beside: "Datum" of "Kundennummer\nDatum" over "4711\n15.03.2024".
                for (const auto &match : tables.dateLabels.inLine(document, *pair)) {
                    c.labels += weightOf(document, tables, match, deliveryNote);
                    c.labelled = true;
                }
            } else if (const int above = document.previousLine(c.line);
                       sameLine.size() >= 2 && above >= 0 && c.line - above <= 2 && !byLine.contains(above)) {
                // A row of column heads over a row of values.
                const auto labels = tables.dateLabels.inLine(document, above);
                if (labels.size() == sameLine.size())
                    c.labels = weightOf(document, tables, labels[k], deliveryNote), c.labelled = true;
            }
        }
        c.labels +=
            trailingPenalty(document, tables, c.found.position + c.found.length, c.line, nextToken, deliveryNote);

        const QStringView lineText = document.lineText(c.line);
        const qsizetype inLine = c.found.position - line.start;
        c.letterLine = !previous && isLetterLine(lineText.first(inLine), lineText.sliced(inLine + c.found.length));
        score += c.labels + (c.letterLine ? LetterLine : 0);
        if (!c.letterLine && c.labels >= 0 && isPlaceWord(QStringView(text).sliced(from, c.found.position - from)))
            score += PlaceWord;
        if (const auto title = tables.kindWords.startOf(document, c.line);
            title && !previous && document.rank(c.line) < 3 && toToken - line.firstToken <= 8 &&
            std::any_of(title->value->cbegin(), title->value->cend(), [](const auto &w) { return w.title; }))
            score += TitleLine;
        const bool timed = hasTime(lineText.sliced(inLine + c.found.length));
        if (timed)
            score += TimeBonus;

        const double place = document.place(c.line);
        if (place < 0.35) {
            score += 2;
            if (!c.labelled && lineText.trimmed().size() == c.found.length)
                score += 2; // a date on its own in the letterhead
        } else if (place > 0.85 && document.nonBlankLines() > 8 && !timed) {
            score -= 2; // the footer's print or version date
        }
        if (layout.recipient[c.line])
            score -= 2;
        if (c.found.date > today.addDays(1))
            score -= FuturePenalty;
        if (c.found.date.year() < EarliestYear)
            score -= AncientPenalty;
        c.score += score;
    }

    // Rows that start with a date and go on with words ("27.05.2023 Dauerauftrag Miete"), three or
    // more of them, are a table's: their dates are the rows', not the document's.
    QList<int> rowStarts;
    for (int i = 0; i < candidates.size(); ++i) {
        const Candidate &c = candidates[i];
        const LocalText::Line &line = document.lines()[c.line];
        if (byLine[c.line].front() == i && document.tokenFrom(c.found.position) == line.firstToken &&
            document.tokenFrom(c.found.position + c.found.length) < line.endToken)
            rowStarts.append(i);
    }
    if (rowStarts.size() >= 3) {
        for (const int i : std::as_const(rowStarts))
            candidates[i].score -= RowPenalty;
    }

    // Of dates that score alike the latest wins: a paper is written after what it tells of.
    const Candidate *best = nullptr;
    for (const Candidate &c : std::as_const(candidates)) {
        if (!best || c.score > best->score || (c.score == best->score && c.found.date > best->found.date))
            best = &c;
    }
    if (best->score <= 0)
        return {};
    const bool strong = (best->labels >= StrongLabel || best->letterLine) && best->score >= StrongScore;
    return {best->found.date, strong ? Strength::strong : Strength::weak};
}

} // namespace LocalFinders
