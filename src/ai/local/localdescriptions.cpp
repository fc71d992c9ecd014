#include "ai/local/localfinders.h"

#include "grounding/datefinder.h"

#include <QRegularExpression>

namespace LocalFinders {
namespace {

constexpr int MaxWords = 5;
constexpr double SubjectZone = 0.6;
constexpr double HeadingZone = 0.5;
constexpr int MaxHeadingWords = 8;
constexpr qsizetype MinCompoundPart = 6;
constexpr int HeadingLines = 12;

/** The text after "Label:" when line `line` starts with a phrase of `set`, or nullopt. */
std::optional<QString> labelledText(const Document &document, int line, const LocalTables::WordSet &set)
{
    const auto match = set.startOf(document, line);
    if (!match)
        return std::nullopt;
    const QString &text = document.text();
    qsizetype at = document.tokens()[match->last].end;
    const qsizetype end = document.lines()[line].end;
    while (at < end && (text.at(at) == u' ' || text.at(at) == u'.'))
        ++at;
    if (at < end && text.at(at) == u':')
        return text.sliced(at + 1, end - at - 1).trimmed();
    // "Betreff" alone on its line, the subject below it.
    if (at == end && match->first == document.lines()[line].firstToken)
        return QString();
    return std::nullopt;
}

/** The start of `word` as written that folds to `count` characters ("Stromrechnung", 5 → "Strom"). */
QString writtenPrefix(const QString &word, qsizetype count)
{
    for (qsizetype i = 1; i <= word.size(); ++i) {
        if (LocalText::foldedWords(word.first(i)).join(QString()).size() >= count)
            return word.first(i);
    }
    return word;
}

} // namespace

QString withoutReplyPrefixes(const QString &subject, const Tables &tables)
{
    static const QRegularExpression prefix(QStringLiteral(R"(^\s*(\p{L}{1,13})\s*(?:\[\d+\])?\s*:\s*)"),
                                           QRegularExpression::UseUnicodePropertiesOption);
    QString result = subject.trimmed();
    for (;;) {
        const QRegularExpressionMatch match = prefix.match(result);
        if (!match.hasMatch() || !tables.replyPrefixes.findPhrase(match.capturedView(1)))
            return result;
        result = result.mid(match.capturedEnd()).trimmed();
    }
}

QString subjectLine(const Document &document, const Layout &layout, const Tables &tables)
{
    for (int line = 0; line < document.lines().size(); ++line) {
        if (document.lines()[line].isBlank() || layout.recipient[line] || document.place(line) > SubjectZone)
            continue;
        const std::optional<QString> text = labelledText(document, line, tables.subjectLabels);
        if (!text)
            continue;
        if (!text->isEmpty())
            return withoutReplyPrefixes(*text, tables);
        if (const int next = document.nextLine(line); next >= 0)
            return document.lineText(next).trimmed().toString();
    }
    return {};
}

QString firstHeading(const Document &document, const Layout &layout, const Tables &tables)
{
    // After the letterhead and the address window: where the last address line near the top stands.
    int start = 0;
    for (int line = 0; line < document.lines().size() && document.place(line) <= HeadingZone; ++line) {
        if (layout.recipient[line] || line == layout.returnAddressLine || isAddressLine(document.lineText(line)))
            start = line + 1;
    }
    QString plain;
    for (int line = 0; line < document.lines().size(); ++line) {
        const LocalText::Line &l = document.lines()[line];
        if (l.isBlank() || layout.recipient[line] || layout.bank[line] || layout.imprint[line] ||
            (document.place(line) > HeadingZone && document.rank(line) >= HeadingLines))
            continue;
        const QStringView text = document.lineText(line).trimmed();
        if (document.tokenCount(line) > MaxHeadingWords || isAddressLine(text))
            continue;
        bool titled = false;
        for (const auto &match : tables.kindWords.inLine(document, line)) {
            titled = std::any_of(match.value->cbegin(), match.value->cend(), [](const auto &w) { return w.title; });
            if (titled)
                break;
        }
        if (titled)
            return text.toString();
        if (!plain.isEmpty() || line < start || text.contains(u':') || document.tokenCount(line) < 2)
            continue;
        const QStringList words = LocalText::foldedWords(text);
        const auto startsWithAny = [&](const LocalTables::WordSet &set) {
            QString key;
            for (qsizetype k = 0; k < std::min<qsizetype>(3, words.size()); ++k) {
                key += words[k];
                if (set.find(key))
                    return true;
            }
            return false;
        };
        if (startsWithAny(tables.salutations) || startsWithAny(tables.closings) || startsWithAny(tables.notNames) ||
            !Grounding::findDates(text).isEmpty() || !text.front().isUpper())
            continue;
        plain = text.toString();
    }
    return plain;
}

QString documentNumber(const Document &document, const Tables &tables)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^[\s.:#]*(?:nr\.?|no\.?)?[\s.:#]*([A-Za-z0-9][A-Za-z0-9\-/._]{2,}))"),
        QRegularExpression::CaseInsensitiveOption);
    for (int line = 0; line < document.lines().size(); ++line) {
        for (const auto &match : tables.numberLabels.inLine(document, line)) {
            const qsizetype after = document.tokens()[match.last].end;
            const QStringView rest = QStringView(document.text()).sliced(after, document.lines()[line].end - after);
            const QRegularExpressionMatch found = number.match(rest);
            if (!found.hasMatch())
                continue;
            QString value = found.captured(1);
            while (value.endsWith(u'.'))
                value.chop(1);
            if (std::any_of(value.cbegin(), value.cend(), [](QChar c) { return c.isDigit(); }))
                return QStringLiteral("Nr. ") + value;
        }
    }
    return {};
}

QString shortDescription(const QString &text, const QStringList &avoid, const Tables &tables, bool dropFillers)
{
    static const QRegularExpression ends(QStringLiteral(R"(^[^\p{L}\p{N}]+|[^\p{L}\p{N}.]+$)"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    QStringList kept;
    for (const QString &raw : text.simplified().split(u' ', Qt::SkipEmptyParts)) {
        QString word = raw;
        word.remove(ends);
        if (word.isEmpty() || (dropFillers && tables.fillers.findPhrase(word)))
            continue;
        const QString key = LocalText::foldedWords(word).join(QString());
        if (key.isEmpty())
            continue;
        bool drop = false;
        for (const QString &avoided : avoid) {
            if (avoided.isEmpty())
                continue;
            // Compounds only of longer words: "Rechnungsnummer" goes, "Bonus" stays for "bon".
            const bool compounds = avoided.size() >= MinCompoundPart;
            if (key == avoided || (compounds && key.startsWith(avoided))) {
                drop = true; // "Rechnung", "Rechnungsnummer"
                break;
            }
            if (compounds && key.size() >= avoided.size() + 3 && key.endsWith(avoided)) {
                word = writtenPrefix(word, key.size() - avoided.size()); // "Stromrechnung" → "Strom"
                word.remove(ends);
                if (word.endsWith(u'-'))
                    word.chop(1);
            }
        }
        if (drop || word.isEmpty())
            continue;
        kept.append(word);
        if (kept.size() == MaxWords)
            break;
    }
    return kept.join(u' ');
}

} // namespace LocalFinders
