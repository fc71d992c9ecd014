#include "ai/local/localfinders.h"

#include <QRegularExpression>

namespace LocalFinders {
namespace {

constexpr auto Options = QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption;

// An address block ends with its town line; more lines than this are no address.
constexpr int MaxAddressLines = 7;
// The recipient's window and a return-address line stand in the first part of a letter.
constexpr double AddressZone = 0.6;
constexpr int AddressZoneLines = 30;

/** Titles and words of address that are no part of a recipient's name. */
bool isTitleWord(const QString &word)
{
    static const QSet<QString> titles{
        QStringLiteral("dr"),       QStringLiteral("prof"),   QStringLiteral("med"),      QStringLiteral("dipl"),
        QStringLiteral("ing"),      QStringLiteral("herr"),   QStringLiteral("herrn"),    QStringLiteral("frau"),
        QStringLiteral("damen"),    QStringLiteral("herren"), QStringLiteral("und"),      QStringLiteral("kunde"),
        QStringLiteral("kundin"),   QStringLiteral("mr"),     QStringLiteral("mrs"),      QStringLiteral("ms"),
        QStringLiteral("sir"),      QStringLiteral("madam"),  QStringLiteral("zusammen"), QStringLiteral("team"),
        QStringLiteral("customer"), QStringLiteral("familie")};
    return titles.contains(word);
}

/** Whether the label phrase ending at token `last` is followed by a colon (or ends its line). */
bool endsWithColon(const Document &document, int line, int last)
{
    const QString &text = document.text();
    qsizetype at = document.tokens()[last].end;
    const qsizetype end = document.lines()[line].end;
    while (at < end && (text.at(at) == u' ' || text.at(at) == u'.' || text.at(at) == u'\t'))
        ++at;
    return at == end || text.at(at) == u':';
}

/** The lines of an address block that starts at `from`: up to its town line, or its first blank line. */
QList<int> addressBlock(const Document &document, int from, const Tables &tables)
{
    // The letter itself starts at its title ("Rechnung Nr. 17") or a labelled value ("Datum: 12.04.2024"):
    // without a recipient window, the lines below a letterhead are no address.
    static const QRegularExpression labelledValue(QStringLiteral(R"(:\s*\S*\d)"));
    QList<int> block;
    int line = document.lines()[from].isBlank() ? document.nextLine(from) : from;
    for (int i = 0; line >= 0 && i < MaxAddressLines; ++i) {
        if (tables.kindWords.startOf(document, line) || labelledValue.match(document.lineText(line)).hasMatch())
            break;
        block.append(line);
        if (hasPostcode(document.lineText(line))) {
            // A country line may follow the town; a title ("Rechnung", "Invoice") is none.
            const int next = line + 1 < document.lines().size() ? line + 1 : -1;
            if (next >= 0 && !document.lines()[next].isBlank() && document.tokenCount(next) == 1 &&
                !tables.kindWords.startOf(document, next))
                block.append(next);
            return block;
        }
        if (line + 1 < document.lines().size() && document.lines()[line + 1].isBlank() && block.size() >= 2)
            break;
        line = document.nextLine(line);
    }
    // No town line: a short block only.
    return block.mid(0, std::min<qsizetype>(block.size(), 4));
}

bool isPersonName(const QStringList &words, const Tables &tables)
{
    if (words.size() < 2 || words.size() > 4)
        return false;
    for (const QString &word : words) {
        if (tables.legalForms.find(word) || tables.organisationWords.find(word))
            return false;
        if (std::any_of(word.cbegin(), word.cend(), [](QChar c) { return c.isDigit(); }))
            return false;
    }
    return true;
}

void noteRecipient(Layout &layout, const Document &document, const QList<int> &block, const Tables &tables)
{
    int named = 0;
    for (const int line : block) {
        layout.recipient[line] = true;
        if (named >= 2 || isAddressLine(document.lineText(line)))
            continue;
        QStringList words;
        for (int t = document.lines()[line].firstToken; t < document.lines()[line].endToken; ++t) {
            const QString &word = document.tokens()[t].folded;
            if (!isTitleWord(word) && !tables.recipientMarkers.find(word))
                words.append(word);
        }
        if (words.isEmpty())
            continue;
        ++named;
        if (isPersonName(words, tables))
            layout.recipientWords.insert(words.last());
    }
}

} // namespace

bool hasPostcode(QStringView line)
{
    static const QRegularExpression postcode(
        QStringLiteral(R"((?:^|[\s,·•|(])(?:(?:D|DE)-?\d{5}|(?:A|AT|CH)-?\d{4}|\d{5})\s+\p{Lu})"
                       R"(|\b[A-Z]{1,2}\d[A-Z\d]?\s\d[A-Z]{2}\b|\b[A-Z]{2}\s\d{5}(?:-\d{4})?\b)"),
        QRegularExpression::UseUnicodePropertiesOption);
    return postcode.match(line).hasMatch();
}

bool isAddressLine(QStringView line)
{
    static const QRegularExpression street(
        QStringLiteral(R"((?:str\.|straße|strasse|weg|platz|allee|gasse|ring|damm|ufer|chaussee|markt|steig|pfad)"
                       R"(|street|st\.|road|rd\.|avenue|ave\.|lane|drive|way)\s*\d{1,4}\s*[a-z]?\b)"
                       R"(|^\s*\d{1,4}\s+\p{L}+\s+(?:street|road|avenue|lane|drive|way|st|rd|ave)\b)"
                       R"(|\bpostfach\s*\d|\bp\.?\s?o\.?\s?box\b)"),
        Options);
    return hasPostcode(line) || street.match(line).hasMatch();
}

QList<Segment> segmentsOf(const Document &document, int line)
{
    static const QRegularExpression separator(QStringLiteral(R"(\s*[·•|]\s*|\s+[-–—]\s+|,\s+|;\s*|\s{3,}|\t+)"));
    const QStringView text = document.lineText(line);
    const qsizetype base = document.lines()[line].start;
    QList<Segment> segments;
    qsizetype from = 0;
    const auto add = [&](qsizetype end) {
        qsizetype start = from;
        while (start < end && text.at(start).isSpace())
            ++start;
        const QStringView piece = text.sliced(start, end - start).trimmed();
        if (!piece.isEmpty())
            segments.append({piece, base + start});
    };
    QRegularExpressionMatchIterator it = separator.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        add(match.capturedStart());
        from = match.capturedEnd();
    }
    add(text.size());
    return segments;
}

bool isNameOrTitle(const Document &document, const Tables &tables, int line)
{
    if (tables.legalForms.inLineAny(document, line))
        return true;
    const auto kind = tables.kindWords.startOf(document, line);
    return kind && kind->last + 1 == document.lines()[line].endToken &&
           std::any_of(kind->value->cbegin(), kind->value->cend(), [](const auto &w) { return w.title; });
}

QHash<int, int> columnPairs(const Document &document, const Layout &layout, const ColumnRules &rules)
{
    // A column further away than this is another table's.
    constexpr int MaxDistance = 40;
    // A value beside its label column is short: "15.03.2024", "EUR 1.234,56", "Julia Becker".
    constexpr int MaxValueWords = 4;
    struct Run {
        bool values = false;
        QList<int> lines; ///< indexes into `visible`
        int keyed = 0;
        bool used = false;
    };
    // The recipient's block sits between a label column and its values in many letterheads.
    // A number is no address line, though the block may have taken it for a country ("4711", "POL3373").
    const auto bareNumber = [&](int line) {
        const QStringView l = document.lineText(line).trimmed();
        return !l.contains(u' ') && std::any_of(l.begin(), l.end(), [](QChar c) { return c.isDigit(); });
    };
    // Nor are a block's lines up to its last label ("Kunde:", "Rechnungsdatum"), nor the rest of it
    // when that holds no address: the address finder took a label column for the recipient.
    QList<bool> hidden(document.lines().size(), false);
    for (int line = 0; line < document.lines().size();) {
        int end = line;
        int lastLabel = -1;
        bool address = false;
        while (end < document.lines().size() && (layout.recipient[end] || document.lines()[end].isBlank())) {
            if (layout.recipient[end] && (rules.isKeyed(end) || document.lineText(end).trimmed().endsWith(u':'))) {
                lastLabel = end;
                address = false;
            } else if (layout.recipient[end]) {
                address = address || isAddressLine(document.lineText(end)) || hasPostcode(document.lineText(end));
            }
            ++end;
        }
        for (int l = line; l < end; ++l)
            hidden[l] = layout.recipient[l] && !bareNumber(l) && (lastLabel < 0 || (l > lastLabel && address));
        line = std::max(end, line + 1);
    }
    if (layout.returnAddressLine >= 0)
        hidden[layout.returnAddressLine] = true;
    QList<int> visible;
    for (int line = 0; line < document.lines().size(); ++line) {
        if (!document.lines()[line].isBlank() && !hidden[line])
            visible.append(line);
    }
    QList<Run> runs;
    QList<int> runOf(visible.size(), -1);
    for (int v = 0; v < visible.size(); ++v) {
        const int line = visible[v];
        const bool value = rules.isValue(line);
        const bool label = !value && rules.isLabel(line);
        if (!value && !label) {
            runs.append(Run{});
            continue;
        }
        if (runs.isEmpty() || runs.last().lines.isEmpty() || runs.last().values != value)
            runs.append(Run{value, {}});
        runs.last().lines.append(v);
        runs.last().keyed += label && rules.isKeyed(line);
        runOf[v] = int(runs.size() - 1);
    }
    const auto words = [&](int line) {
        return document.lineText(line).trimmed().split(u' ', Qt::SkipEmptyParts).size();
    };

    // A one-word line that ends a label column right above a longer value column heads that column
    // ("Betrag", "Gesamt") and is no label; so does one the table does not know over a shorter one ("Preis").
    if (rules.fromEnd) {
        for (qsizetype r = 0; r + 1 < runs.size(); ++r) {
            Run &labels = runs[r];
            if (labels.values || labels.lines.size() < 2)
                continue;
            const int after = labels.lines.back() + 1;
            if (after >= visible.size() || runOf[after] < 0 || !runs[runOf[after]].values ||
                words(visible[labels.lines.back()]) != 1)
                continue;
            // Over a shorter column only a word the table does not know: "fällig" of "Jetzt\nfällig" is a label.
            const qsizetype values = runs[runOf[after]].lines.size();
            if (values > labels.lines.size() ||
                (values < labels.lines.size() && !rules.isKeyed(visible[labels.lines.back()])))
                labels.lines.removeLast();
        }
    }
    QHash<int, int> pairs;
    // Pairs the lines when each label fits its value ("Datum" a date); says whether it did.
    const auto pair = [&](const QList<int> &values, const QList<int> &labels) {
        const qsizetype offset = rules.fromEnd ? values.size() - labels.size() : 0;
        for (qsizetype i = 0; rules.fits && i < labels.size(); ++i) {
            if (!rules.fits(visible[labels[i]], visible[values[offset + i]]))
                return false;
        }
        for (qsizetype i = 0; i < labels.size(); ++i)
            pairs.insert(visible[values[offset + i]], visible[labels[i]]);
        return true;
    };
    if (!rules.fromEnd) {
        // "Kunde:\nDatum:" over "Erika Muster\n15.03.2024": lines after the last label with a colon are values.
        for (Run &labels : runs) {
            if (labels.values || labels.used || labels.keyed == 0)
                continue;
            qsizetype cut = labels.lines.size() - 1;
            while (cut >= 0 && !document.lineText(visible[labels.lines[cut]]).trimmed().endsWith(u':'))
                --cut;
            const int after = labels.lines.back() + 1;
            if (cut < 0 || cut + 1 == labels.lines.size() || after >= visible.size() || runOf[after] < 0 ||
                !runs[runOf[after]].values)
                continue;
            const QList<int> heads = labels.lines.first(cut + 1);
            // The values start right after the last colon, or, where those lines do not fit, below them.
            for (const QList<int> &start : {labels.lines.sliced(cut + 1), QList<int>{}}) {
                QList<int> taken = start;
                for (int v = after;
                     v < visible.size() && taken.size() < heads.size() && words(visible[v]) <= MaxValueWords; ++v)
                    taken.append(v);
                if (taken.size() == heads.size() && pair(taken, heads)) {
                    labels.used = runs[runOf[after]].used = true;
                    break;
                }
            }
        }
    }
    for (qsizetype r = 0; r < runs.size(); ++r) {
        Run &labels = runs[r];
        if (labels.values || labels.used || labels.keyed == 0)
            continue;
        const int after = labels.lines.back() + 1;
        if (after >= visible.size() || runOf[after] < 0 || !runs[runOf[after]].values)
            continue;
        // Right above its values: the label column takes as many lines below it, whatever they hold.
        Run &values = runs[runOf[after]];
        const qsizetype n = labels.lines.size();
        if (values.lines.size() >= n) {
            if (pair(values.lines, labels.lines))
                labels.used = values.used = true;
            continue;
        }
        if (rules.fromEnd) {
            // A label that wraps ("Jetzt\nfällig" over "425,49 €"): the lines right above answer.
            if (n - values.lines.size() <= 2 && pair(values.lines, labels.lines.mid(n - values.lines.size())))
                labels.used = values.used = true;
            continue;
        }
        QList<int> taken;
        for (int v = after; v < visible.size() && taken.size() < n && words(visible[v]) <= MaxValueWords; ++v)
            taken.append(v);
        if (taken.size() == n && pair(taken, labels.lines))
            labels.used = values.used = true;
        // A heading on top of the label column ("Statement of account\nAccount number:\nBill date:").
        else if (n - values.lines.size() <= 2 && pair(values.lines, labels.lines.mid(n - values.lines.size())))
            labels.used = values.used = true;
    }
    for (qsizetype v = 0; v < runs.size(); ++v) {
        Run &values = runs[v];
        if (!values.values || values.lines.isEmpty() || values.used)
            continue;
        for (qsizetype l = v - 1; l >= 0; --l) {
            Run &labels = runs[l];
            if (labels.lines.isEmpty() || labels.values)
                continue;
            if (visible[values.lines.front()] - visible[labels.lines.back()] > MaxDistance)
                break;
            const bool near = l == v - 1;
            if (labels.used || labels.keyed < (near ? 1 : rules.keyedFar) ||
                labels.lines.size() > values.lines.size() || !pair(values.lines, labels.lines))
                continue;
            labels.used = values.used = true;
            break;
        }
    }
    return pairs;
}

Layout layoutOf(const Document &document, const Tables &tables)
{
    Layout layout;
    const qsizetype count = document.lines().size();
    layout.recipient = QList<bool>(count, false);
    layout.bank = QList<bool>(count, false);
    layout.imprint = QList<bool>(count, false);

    const auto inAddressZone = [&](int line) {
        return document.rank(line) < AddressZoneLines && document.place(line) <= AddressZone;
    };

    for (int line = 0; line < count; ++line) {
        if (document.lines()[line].isBlank())
            continue;
        const QStringView text = document.lineText(line);

        if (tables.imprintMarkers.inLineAny(document, line))
            layout.imprint[line] = true;
        if (tables.bankMarkers.inLineAny(document, line)) {
            layout.bank[line] = true;
            // "Bankverbindung:" alone heads the lines that name the bank.
            if (document.tokenCount(line) <= 2) {
                for (int next = document.nextLine(line), i = 0; next >= 0 && i < 3; next = document.nextLine(next), ++i)
                    layout.bank[next] = true;
            }
        }

        if (const auto closing = tables.closings.startOf(document, line);
            closing && document.place(line) >= 0.3 && document.tokenCount(line) <= closing->last - closing->first + 6) {
            layout.closingLine = line;
            layout.closingEnd = document.tokens()[closing->last].end;
        }

        if (const auto salutation = tables.salutations.startOf(document, line)) {
            // "Sehr geehrter Herr Dr. Mustermann," → "mustermann".
            const qsizetype comma = text.indexOf(u',');
            const qsizetype stop = comma >= 0 ? document.lines()[line].start + comma : document.lines()[line].end;
            QString surname;
            for (int t = salutation->last + 1; t < document.lines()[line].endToken && document.tokens()[t].start < stop;
                 ++t) {
                if (!isTitleWord(document.tokens()[t].folded))
                    surname = document.tokens()[t].folded;
            }
            if (surname.size() >= 3)
                layout.recipientWords.insert(surname);
        }

        // The signature below the closing is no address window.
        if (!inAddressZone(line) || (layout.closingLine >= 0 && line >= layout.closingLine))
            continue;
        if (layout.returnAddressLine < 0 && hasPostcode(text)) {
            const QList<Segment> segments = segmentsOf(document, line);
            // The letterhead's own "Am Kraftwerk 3 · 04177 Leipzig" or "Lake Road · Windermere" starts with its
            // street, not a name; nor does "muster.de · Weg 4 · 12345 Stadt".
            static const QRegularExpression houseNumber(
                QStringLiteral(R"(^\d{1,4}\s*[a-z]?\s+\p{L}|\p{L}\.?\s+\d{1,4}\s*[a-z]?$|)"
                               R"((?:straße|strasse|str\.|weg|platz|allee|gasse|road|street|lane|avenue|drive)$|)"
                               R"(^\S+\.(?:de|com|net|org|eu|at|ch|uk|io)$|@)"),
                QRegularExpression::UseUnicodePropertiesOption | QRegularExpression::CaseInsensitiveOption);
            const QStringView first = segments.front().text;
            if (segments.size() >= 2 && !hasPostcode(first) && !isAddressLine(first) &&
                !houseNumber.match(first).hasMatch()) {
                layout.returnAddressLine = line;
                if (const int next = document.nextLine(line); next >= 0)
                    noteRecipient(layout, document, addressBlock(document, next, tables), tables);
                continue;
            }
        }
        if (layout.recipient[line])
            continue;
        if (const auto marker = tables.recipientMarkers.startOf(document, line);
            marker && document.tokenCount(line) <= 6 && !isAddressLine(text)) {
            noteRecipient(layout, document, addressBlock(document, line, tables), tables);
            continue;
        }
        if (const auto label = tables.recipientLabels.startOf(document, line);
            label && endsWithColon(document, line, label->last)) {
            const bool alone = label->last + 1 == document.lines()[line].endToken;
            QList<int> block = addressBlock(document, alone ? std::max(line, document.nextLine(line)) : line, tables);
            if (alone)
                block.prepend(line);
            noteRecipient(layout, document, block, tables);
        }
    }
    return layout;
}

} // namespace LocalFinders
