#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <utility>

/** The on-device namer's view of a text: folded words by line, and phrase tables that match them. */
namespace LocalText {

/**
 * `text` as the tables compare it: case folded, umlauts spelled out (ä → ae, ß → ss, so OCR's and
 * ASCII writers' "Gruesse" meets "Grüße"), other accents dropped, everything but letters and
 * digits a word break.
 */
[[nodiscard]] QStringList foldedWords(QStringView text);

/** The folded words of `text` joined by one space: "Stadtwerke München" → "stadtwerke muenchen". */
[[nodiscard]] QString folded(QStringView text);

/** A word of a document: folded, with the span of the original text it came from. */
struct Token {
    QString folded;
    qsizetype start = 0;
    qsizetype end = 0;
    int line = 0;
};

/** A line of a document: its span (without the line break) and its tokens [firstToken, endToken). */
struct Line {
    qsizetype start = 0;
    qsizetype end = 0;
    int firstToken = 0;
    int endToken = 0;
    [[nodiscard]] bool isBlank() const { return firstToken == endToken; }
};

/** A text split once into lines and folded words; every finder works on the same split. */
class Document final
{
public:
    explicit Document(QString text);

    [[nodiscard]] const QString &text() const { return m_text; }
    [[nodiscard]] const QList<Line> &lines() const { return m_lines; }
    [[nodiscard]] const QList<Token> &tokens() const { return m_tokens; }
    [[nodiscard]] QStringView lineText(int line) const;
    /** The line that holds `position`. */
    [[nodiscard]] int lineOf(qsizetype position) const;
    /** The first token that starts at or after `position`. */
    [[nodiscard]] int tokenFrom(qsizetype position) const;
    /** The number of tokens of `line`. */
    [[nodiscard]] int tokenCount(int line) const { return m_lines[line].endToken - m_lines[line].firstToken; }
    /** The non-blank line before / after `line`, or -1. */
    [[nodiscard]] int previousLine(int line) const;
    [[nodiscard]] int nextLine(int line) const;
    /** Where `line` stands among the non-blank lines: 0 for the first, 1 for the last. */
    [[nodiscard]] double place(int line) const;
    /** How many non-blank lines come before `line`. */
    [[nodiscard]] int rank(int line) const { return m_rank[line]; }
    [[nodiscard]] int nonBlankLines() const { return m_nonBlank; }

private:
    QString m_text;
    QList<Line> m_lines;
    QList<Token> m_tokens;
    QList<int> m_rank;
    int m_nonBlank = 0;
};

/**
 * Phrases of a data table and what each stands for. A phrase matches a run of words of one line
 * whose folded words, joined, spell it: "USt-IdNr.", "USt IdNr" and "UStIdNr" are one phrase, as
 * are "Rechnungs-Datum" and "Rechnungsdatum". The longest phrase at a word wins. Suffixes match the
 * end of a longer single word ("Stromrechnung" by "rechnung").
 */
template <typename T> class Lexicon final
{
public:
    struct Match {
        const T *value = nullptr;
        int first = 0; ///< first token
        int last = 0;  ///< last token, inclusive
    };

    /** The entry for `phrase`, created with a default value when absent. */
    T &operator[](QStringView phrase)
    {
        const QStringList words = foldedWords(phrase);
        m_maxWords = std::max<int>(m_maxWords, int(words.size()));
        return m_entries[words.join(QString())];
    }
    void insert(QStringView phrase, const T &value) { (*this)[phrase] = value; }
    void insertSuffix(QStringView suffix, const T &value)
    {
        const QString key = foldedWords(suffix).join(QString());
        if (!key.isEmpty())
            m_suffixes.append({key, value});
    }
    [[nodiscard]] bool isEmpty() const { return m_entries.isEmpty() && m_suffixes.isEmpty(); }

    /** The entry whose folded words, joined, are `key` ("ustidnr"). */
    [[nodiscard]] const T *find(const QString &key) const
    {
        const auto it = m_entries.constFind(key);
        return it == m_entries.cend() ? nullptr : &*it;
    }

    /** Whether all of `text` is one phrase of the table. */
    [[nodiscard]] const T *findPhrase(QStringView text) const { return find(foldedWords(text).join(QString())); }

    /** The longest phrase that starts at token `at`, within its line. */
    [[nodiscard]] std::optional<Match> at(const Document &document, int at) const
    {
        const QList<Token> &tokens = document.tokens();
        const int line = tokens[at].line;
        QString key;
        std::optional<Match> best;
        for (int k = 0; k < m_maxWords && at + k < tokens.size() && tokens[at + k].line == line; ++k) {
            key += tokens[at + k].folded;
            if (const T *value = find(key))
                best = Match{value, at, at + k};
        }
        if (!best) {
            const QString &word = tokens[at].folded;
            for (const auto &[suffix, value] : m_suffixes) {
                if (word.size() > suffix.size() + 2 && word.endsWith(suffix))
                    return Match{&value, at, at};
            }
        }
        return best;
    }

    /** The phrases in tokens [from, to), left to right, none overlapping another. */
    [[nodiscard]] QList<Match> findAll(const Document &document, int from, int to) const
    {
        QList<Match> matches;
        for (int i = from; i < to;) {
            if (const std::optional<Match> match = at(document, i); match && match->last < to) {
                matches.append(*match);
                i = match->last + 1;
            } else {
                ++i;
            }
        }
        return matches;
    }

    /** The phrases of one line. */
    [[nodiscard]] QList<Match> inLine(const Document &document, int line) const
    {
        const Line &l = document.lines()[line];
        return findAll(document, l.firstToken, l.endToken);
    }

    /** Whether the line starts with a phrase of the table; the match when it does. */
    [[nodiscard]] std::optional<Match> startOf(const Document &document, int line) const
    {
        const Line &l = document.lines()[line];
        return l.isBlank() ? std::nullopt : at(document, l.firstToken);
    }

    /** Whether any phrase of the table stands in the line. */
    [[nodiscard]] bool inLineAny(const Document &document, int line) const
    {
        const Line &l = document.lines()[line];
        for (int i = l.firstToken; i < l.endToken; ++i) {
            if (at(document, i))
                return true;
        }
        return false;
    }

private:
    QHash<QString, T> m_entries;
    QList<std::pair<QString, T>> m_suffixes;
    int m_maxWords = 1;
};

} // namespace LocalText
