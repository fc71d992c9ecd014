#include "localtext.h"

#include <algorithm>

namespace LocalText {
namespace {

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

/** Appends the folded form of one word character. */
void appendFolded(QString &out, QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80) {
        out += QChar(u >= u'A' && u <= u'Z' ? u + 32 : u);
        return;
    }
    switch (u) {
    case u'ä':
    case u'Ä':
        out += u"ae";
        return;
    case u'ö':
    case u'Ö':
        out += u"oe";
        return;
    case u'ü':
    case u'Ü':
        out += u"ue";
        return;
    case u'ß':
    case u'ẞ':
        out += u"ss";
        return;
    default:
        break;
    }
    if (c.isMark())
        return;
    if (c.decompositionTag() == QChar::Canonical || c.decompositionTag() == QChar::Compat) {
        // "é" → "e", "ﬁ" → "fi": the base letters, without their accents.
        for (const QChar part : c.decomposition()) {
            if (!part.isMark())
                out += part.toCaseFolded();
        }
        return;
    }
    out += c.toCaseFolded();
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\f' || c == u'\v' || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x85);
}

} // namespace

QStringList foldedWords(QStringView text)
{
    QStringList words;
    QString word;
    for (const QChar c : text) {
        if (isWordCharacter(c)) {
            appendFolded(word, c);
        } else if (!word.isEmpty()) {
            words.append(word);
            word.clear();
        }
    }
    if (!word.isEmpty())
        words.append(word);
    return words;
}

QString folded(QStringView text)
{
    return foldedWords(text).join(u' ');
}

Document::Document(QString text)
    : m_text(std::move(text))
{
    Line line;
    Token token;
    bool inWord = false;
    const auto endWord = [&](qsizetype at) {
        if (!inWord)
            return;
        token.end = at;
        token.line = int(m_lines.size());
        if (!token.folded.isEmpty())
            m_tokens.append(token);
        token = Token();
        inWord = false;
    };
    for (qsizetype i = 0; i <= m_text.size(); ++i) {
        const bool end = i == m_text.size();
        const QChar c = end ? QChar(u'\n') : m_text.at(i);
        if (isLineBreak(c)) {
            endWord(i);
            line.end = i;
            // "\r\n": the carriage return belongs to no line.
            if (line.end > line.start && m_text.at(line.end - 1) == u'\r')
                --line.end;
            line.endToken = int(m_tokens.size());
            m_lines.append(line);
            line = Line();
            line.start = i + 1;
            line.firstToken = int(m_tokens.size());
            continue;
        }
        if (isWordCharacter(c)) {
            if (!inWord) {
                inWord = true;
                token.start = i;
            }
            appendFolded(token.folded, c);
        } else {
            endWord(i);
        }
    }
    m_rank.reserve(m_lines.size());
    for (const Line &l : std::as_const(m_lines)) {
        m_rank.append(m_nonBlank);
        if (!l.isBlank())
            ++m_nonBlank;
    }
}

QStringView Document::lineText(int line) const
{
    const Line &l = m_lines[line];
    return QStringView(m_text).sliced(l.start, l.end - l.start);
}

int Document::lineOf(qsizetype position) const
{
    const auto it = std::upper_bound(m_lines.cbegin(), m_lines.cend(), position,
                                     [](qsizetype p, const Line &l) { return p < l.start; });
    return std::max(0, int(it - m_lines.cbegin()) - 1);
}

int Document::tokenFrom(qsizetype position) const
{
    const auto it = std::lower_bound(m_tokens.cbegin(), m_tokens.cend(), position,
                                     [](const Token &t, qsizetype p) { return t.start < p; });
    return int(it - m_tokens.cbegin());
}

int Document::previousLine(int line) const
{
    for (int i = line - 1; i >= 0; --i) {
        if (!m_lines[i].isBlank())
            return i;
    }
    return -1;
}

int Document::nextLine(int line) const
{
    for (int i = line + 1; i < m_lines.size(); ++i) {
        if (!m_lines[i].isBlank())
            return i;
    }
    return -1;
}

double Document::place(int line) const
{
    return m_nonBlank <= 1 ? 0.0 : double(m_rank[line]) / double(m_nonBlank - 1);
}

} // namespace LocalText
