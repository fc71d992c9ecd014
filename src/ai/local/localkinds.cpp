#include "ai/local/localfinders.h"

#include <QSet>

#include <algorithm>

namespace LocalFinders {
namespace {

constexpr int HeadingLines = 20;      // a heading stands among the first lines…
constexpr double HeadingPlace = 0.35; // …or in the first third
constexpr int HeadingWords = 6;
constexpr int MentionPoints = 2; // a title word in the running text
constexpr int MentionCap = 6;
constexpr int MinimumScore = 3;
// A line this long is a Word file's paragraphs run together: its first words stand for its first lines.
constexpr int RunOnTokens = 40;
constexpr int RunOnWordsPerLine = 4;
constexpr int RunOnHeadingWords = 60; // …and only those before its salutation

/** A heading's weight: the earlier, the more it names the document (a contract's "§ 3 Rechnung" comes late). */
int headingPoints(int rank)
{
    return 12 - std::min(rank, HeadingLines) / 5;
}

QString phraseOf(const Document &document, int first, int last)
{
    QString phrase;
    for (int t = first; t <= last; ++t)
        phrase += document.tokens()[t].folded;
    return phrase;
}

struct Tally {
    int heading = 0;
    int mentions = 0;
    int hints = 0;
};

} // namespace

KindFound findKind(const Document &document, const Layout &layout, const Tables &tables, const QString &subject)
{
    const qsizetype count = tables.kinds.size();
    QList<Tally> tally(count);
    QSet<QString> seenHints;

    const auto tallyWords = [&](const QList<LocalTables::KindWord> &words, bool heading, int rank,
                                const QString &phrase) {
        for (const LocalTables::KindWord &word : words) {
            Tally &t = tally[word.kind];
            if (!word.title) {
                if (!seenHints.contains(QString::number(word.kind) + phrase)) {
                    seenHints.insert(QString::number(word.kind) + phrase);
                    t.hints += word.weight;
                }
            } else if (heading && t.heading == 0) {
                t.heading = headingPoints(rank);
            } else {
                t.mentions = std::min(t.mentions + MentionPoints, MentionCap);
            }
        }
    };

    if (!subject.trimmed().isEmpty()) {
        const Document line(subject);
        for (const auto &match : tables.kindWords.inLine(line, 0))
            tallyWords(*match.value, true, 0, phraseOf(line, match.first, match.last));
    }
    for (int l = 0; l < document.lines().size(); ++l) {
        const LocalText::Line &line = document.lines()[l];
        if (line.isBlank() || layout.recipient[l])
            continue;
        const bool top = document.rank(l) < HeadingLines || document.place(l) < HeadingPlace;
        const bool runOn = document.tokenCount(l) > RunOnTokens;
        int body = line.firstToken + RunOnHeadingWords;
        if (runOn) {
            if (const auto salutations = tables.salutations.inLine(document, l); !salutations.isEmpty())
                body = std::min(body, salutations.front().first);
        }
        for (const auto &match : tables.kindWords.inLine(document, l)) {
            if (runOn) {
                const int rank = document.rank(l) + (match.first - line.firstToken) / RunOnWordsPerLine;
                tallyWords(*match.value, match.first < body, rank, phraseOf(document, match.first, match.last));
                continue;
            }
            // A row that starts with a number ("27.05.2023 Gutschrift Gehalt") is an item, not a heading.
            const bool row =
                match.first != line.firstToken && document.tokens()[line.firstToken].folded.front().isDigit();
            const bool heading =
                top && !row && (document.tokenCount(l) <= HeadingWords || match.first == line.firstToken);
            tallyWords(*match.value, heading, document.rank(l), phraseOf(document, match.first, match.last));
        }
    }

    QList<int> score(count, 0);
    for (qsizetype k = 0; k < count; ++k) {
        const Tally &t = tally[k];
        score[k] = t.heading + t.mentions + (tables.kinds[k].parent < 0 ? t.hints : 0);
    }
    // A refinement (a medical bill) beats its parent (an invoice) when its own words are there too.
    for (qsizetype k = 0; k < count; ++k) {
        const int parent = tables.kinds[k].parent;
        if (parent >= 0 && tally[k].hints > 0 && score[parent] > 0)
            score[k] = std::max(score[k], score[parent] + tally[k].hints);
    }

    KindFound found;
    for (qsizetype k = 0; k < count; ++k) {
        if (score[k] >= MinimumScore)
            found.ranking.append({int(k), score[k]});
    }
    std::stable_sort(found.ranking.begin(), found.ranking.end(),
                     [](const auto &a, const auto &b) { return a.second > b.second; });
    if (!found.ranking.isEmpty()) {
        const int best = found.ranking.front().first;
        const int parent = tables.kinds[best].parent;
        const bool headed = tally[best].heading > 0 || (parent >= 0 && tally[parent].heading > 0);
        found.strength = headed ? Strength::strong : Strength::weak;
    }
    return found;
}

} // namespace LocalFinders
