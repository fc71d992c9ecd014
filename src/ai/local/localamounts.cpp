#include "ai/local/localfinders.h"

#include "grounding/amountfinder.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <functional>

namespace LocalFinders {
namespace {

constexpr int TotalLabel = 5;         // "Summe" and stronger
constexpr int StrongLabel = 8;        // "Total", "Gesamtbetrag", "zu zahlen"
constexpr int TotalLabelNoTotal = 10; // what a contract or letter needs to name a total
constexpr int EarlyPaymentPenalty = 12;
constexpr int LongLine = 60; // tokens

struct Candidate {
    qint64 cents = 0;
    qsizetype position = 0;
    qsizetype length = 0;
    int line = 0;
    int labels = 0;
    bool labelled = false;
    bool currency = false;
};

bool hasCurrency(QStringView text, qsizetype start, qsizetype end)
{
    static const QRegularExpression before(QStringLiteral(R"((?:€|\$|£|EUR|USD|CHF|GBP)\s?$)"));
    static const QRegularExpression after(QStringLiteral(R"(^(?:,-|\.-)?\s?(?:€|\$|£|EUR|USD|CHF|GBP|Euro))"));
    const qsizetype from = std::max<qsizetype>(0, start - 5);
    return before.match(text.sliced(from, start - from)).hasMatch() ||
           after.match(text.sliced(end, std::min<qsizetype>(8, text.size() - end))).hasMatch();
}

/**
 * The weight of a row of labels: the strongest positive one and every negative one, so "Rechnungsbetrag
 * brutto" counts once and "Gesamt netto" as net. Words of no weight ("EUR") label nothing.
 */
void addLabels(Candidate &c, const QList<LocalText::Lexicon<int>::Match> &matches,
               const std::function<int(const LocalText::Lexicon<int>::Match &)> &weightOf)
{
    int strongest = 0, negative = 0;
    for (const auto &match : matches) {
        const int weight = weightOf(match);
        if (weight > 0)
            strongest = std::max(strongest, weight);
        else
            negative += weight;
        c.labelled = c.labelled || weight != 0;
    }
    c.labels += strongest + negative;
}

/** "Bei Zahlung innerhalb von 7 Tagen 2 % Skonto, Zahlbetrag dann …": an offer of a smaller sum, not the total. */
bool isEarlyPaymentOffer(QStringView before)
{
    static const QRegularExpression offer(
        QStringLiteral(R"(skonto|bei zahlung (?:innerhalb|bis)|if paid (?:within|by)|early payment)"),
        QRegularExpression::CaseInsensitiveOption);
    return offer.match(before).hasMatch();
}

/** The sentence that runs up to `position`, back into the line before at most. */
QStringView sentenceBefore(const Document &document, int line, qsizetype position)
{
    const int above = document.previousLine(line);
    const qsizetype start =
        above >= 0 && line - above == 1 ? document.lines()[above].start : document.lines()[line].start;
    const QStringView before = QStringView(document.text()).sliced(start, position - start);
    static const QRegularExpression end(QStringLiteral(R"([.!?:]\s)"));
    qsizetype from = 0;
    for (auto it = end.globalMatch(before); it.hasNext();)
        from = it.next().capturedEnd();
    return before.sliced(from);
}

bool isPercentage(QStringView text, qsizetype end)
{
    while (end < text.size() && text.at(end) == u' ')
        ++end;
    return end < text.size() && text.at(end) == u'%';
}

/**
 * One reading per number: where "1,234" reads both ways, the way the document writes its other
 * decimals ("49,99" German, "49.99" English) decides.
 */
QList<Grounding::FoundAmount> readings(QStringView text)
{
    const QList<Grounding::FoundAmount> all = Grounding::findAmounts(text);
    int german = 0, english = 0;
    static const QRegularExpression germanDecimals(QStringLiteral(R"(,\d{2}$)"));
    static const QRegularExpression englishDecimals(QStringLiteral(R"(\.\d{2}$)"));
    for (const auto &amount : all) {
        const QStringView token = text.sliced(amount.position, amount.length);
        german += germanDecimals.match(token).hasMatch();
        english += englishDecimals.match(token).hasMatch();
    }
    QList<Grounding::FoundAmount> chosen;
    for (const auto &amount : all) {
        if (!chosen.isEmpty() && chosen.last().position == amount.position) {
            // The second reading of the same number: German is read first, so English replaces it.
            if (english > german)
                chosen.last() = amount;
            continue;
        }
        chosen.append(amount);
    }
    return chosen;
}

} // namespace

AmountFound findTotal(const Document &document, const Layout &layout, const Tables &tables, int kind)
{
    // On a payslip the amount paid out is the net pay, and the gross is no total.
    const bool payslip = kind >= 0 && tables.kinds[kind].name == u"lohnabrechnung";
    const auto weightOf = [&](const LocalText::Lexicon<int>::Match &match) {
        if (payslip) {
            QString key;
            for (int t = match.first; t <= match.last; ++t)
                key += document.tokens()[t].folded;
            if (const int *own = tables.payslipAmountLabels.find(key))
                return *own;
        }
        return *match.value;
    };
    const QString &text = document.text();
    QList<Candidate> candidates;
    for (const auto &amount : readings(text)) {
        const qsizetype end = amount.position + amount.length;
        if (isPercentage(text, end))
            continue;
        const int line = document.lineOf(amount.position);
        // A line of a whole document (a word processor's text without its breaks) is no footer or address.
        if ((layout.bank[line] || layout.recipient[line]) && document.tokenCount(line) <= LongLine)
            continue;
        candidates.append(
            {amount.cents, amount.position, amount.length, line, 0, false, hasCurrency(text, amount.position, end)});
    }
    if (candidates.isEmpty())
        return {};

    QHash<int, QList<int>> byLine;
    for (int i = 0; i < candidates.size(); ++i)
        byLine[candidates[i].line].append(i);

    // Columns: a label line holds no amount and no digits but a rate ("MwSt 19 %"), a value line
    // one amount and its currency.
    ColumnRules columns;
    columns.isValue = [&](int line) {
        const auto amounts = byLine.constFind(line);
        if (amounts == byLine.cend() || amounts->size() != 1)
            return false;
        const Candidate &c = candidates[amounts->front()];
        QString rest = document.lineText(line).toString();
        rest.remove(c.position - document.lines()[line].start, c.length);
        static const QRegularExpression decoration(QStringLiteral(R"([\s€$£+\-−]|EUR|USD|GBP|CHF)"));
        return rest.remove(decoration).isEmpty();
    };
    columns.isLabel = [&](int line) {
        if (document.tokenCount(line) > 6 || byLine.contains(line))
            return false;
        static const QRegularExpression rate(QStringLiteral(R"(\d+(?:[.,]\d+)?\s?%)"));
        const QString l = document.lineText(line).toString().remove(rate);
        return std::none_of(l.begin(), l.end(), [](QChar c) { return c.isDigit(); }) &&
               !isNameOrTitle(document, tables, line);
    };
    columns.isKeyed = [&](int line) {
        const auto labels = tables.amountLabels.inLine(document, line);
        return std::any_of(labels.cbegin(), labels.cend(),
                           [](const auto &m) { return std::abs(*m.value) >= TotalLabel; });
    };
    const QHash<int, int> pairs = columnPairs(document, layout, columns);

    for (int i = 0; i < candidates.size(); ++i) {
        Candidate &c = candidates[i];
        const QList<int> &sameLine = byLine[c.line];
        const qsizetype k = sameLine.indexOf(i);
        qsizetype from = k > 0 ? candidates[sameLine[k - 1]].position + candidates[sameLine[k - 1]].length
                               : document.lines()[c.line].start;
        // "Gesamtsumme (inkl. 19 % MwSt.: 78,07) 488,96": the label reaches past an aside in brackets.
        static const QRegularExpression aside(QStringLiteral(R"(^\s*\)\s*(?:€|\$|£|EUR|USD|GBP|CHF)?\s*$)"));
        if (k > 0 && aside.match(QStringView(text).sliced(from, c.position - from)).hasMatch()) {
            const Candidate &inner = candidates[sameLine[k - 1]];
            const qsizetype start = k > 1 ? candidates[sameLine[k - 2]].position + candidates[sameLine[k - 2]].length
                                          : document.lines()[c.line].start;
            const qsizetype open = QStringView(text).sliced(start, inner.position - start).lastIndexOf(u'(');
            if (open >= 0) {
                addLabels(
                    c,
                    tables.amountLabels.findAll(document, document.tokenFrom(start), document.tokenFrom(start + open)),
                    weightOf);
                from = c.position;
            }
        }
        addLabels(c, tables.amountLabels.findAll(document, document.tokenFrom(from), document.tokenFrom(c.position)),
                  weightOf);
        if (isEarlyPaymentOffer(sentenceBefore(document, c.line, c.position)))
            c.labels -= EarlyPaymentPenalty, c.labelled = true;
        if (c.labelled)
            continue;
        if (const auto pair = pairs.constFind(c.line); pair != pairs.cend()) {
            // The label in the column beside: "Gesamtbetrag" of "Netto\nMwSt\nGesamtbetrag" over three amounts.
            addLabels(c, tables.amountLabels.inLine(document, *pair), weightOf);
        } else if (const int above = document.previousLine(c.line);
                   sameLine.size() >= 2 && above >= 0 && c.line - above <= 2 && !byLine.contains(above)) {
            // A row of column heads over a row of amounts: "Netto   MwSt   Brutto".
            const auto labels = tables.amountLabels.inLine(document, above);
            if (labels.size() == sameLine.size())
                c.labels = weightOf(labels[k]), c.labelled = true;
        }
    }

    const bool hasTotal = kind < 0 || tables.kinds[kind].total;
    const int needed = hasTotal ? TotalLabel : TotalLabelNoTotal;
    const Candidate *best = nullptr;
    const auto better = [](const Candidate &a, const Candidate &b) {
        const int sa = a.labels + a.currency, sb = b.labels + b.currency;
        if (sa != sb)
            return sa > sb;
        if (a.cents != b.cents)
            return a.cents > b.cents; // a total is not smaller than its parts
        return a.position > b.position;
    };
    for (const Candidate &c : std::as_const(candidates)) {
        if (c.labels >= needed && (!best || better(c, *best)))
            best = &c;
    }
    if (best)
        return {best->cents, best->labels >= StrongLabel ? Strength::strong : Strength::weak};
    if (kind < 0 || !tables.kinds[kind].total)
        return {};

    // A receipt without a total label: the last and largest amount, when it is the sum of the others.
    QList<const Candidate *> plain;
    for (const Candidate &c : std::as_const(candidates)) {
        if (c.labels >= 0)
            plain.append(&c);
    }
    if (plain.isEmpty())
        return {};
    const Candidate *last = plain.last();
    qint64 others = 0;
    for (const Candidate *c : std::as_const(plain)) {
        if (c->cents > last->cents)
            return {};
        if (c != last && c->cents != last->cents)
            others += c->cents;
    }
    if (plain.size() >= 3 && others == last->cents)
        return {last->cents, Strength::weak};
    // The sum of the amounts right above it: "254,70\n54,66\n0,00\n309,36".
    qint64 above = 0;
    for (qsizetype i = plain.size() - 2; i >= 0 && above < last->cents; --i) {
        above += plain[i]->cents;
        if (above == last->cents && plain.size() - 1 - i >= 2)
            return {last->cents, Strength::weak};
    }
    // A single amount in money on a receipt or invoice is its total.
    const auto withCurrency =
        std::count_if(plain.cbegin(), plain.cend(), [](const Candidate *c) { return c->currency; });
    if (plain.size() == 1 && withCurrency == 1)
        return {last->cents, Strength::weak};
    return {};
}

} // namespace LocalFinders
