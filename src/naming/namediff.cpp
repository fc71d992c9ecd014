#include "namediff.h"

#include "common/filenames.h"
#include "common/unicodetext.h"

#include <algorithm>
#include <vector>

namespace NameDiff {
namespace {

// Canonical equivalence: compare the NFC forms. Most clusters are already in NFC.
QStringList comparisonKeys(const QStringList &characters)
{
    QStringList keys;
    keys.reserve(characters.size());
    for (const QString &c : characters)
        keys << UnicodeText::nfc(c);
    return keys;
}

enum class TokenClass { letter, digit, other };

TokenClass classOf(const QString &cluster)
{
    const char32_t first = cluster.toUcs4().value(0);
    if (QChar::isDigit(first))
        return TokenClass::digit;
    if (QChar::isLetter(first) || QChar::isMark(first))
        return TokenClass::letter;
    return TokenClass::other;
}

} // namespace

QStringList tokens(QStringView name)
{
    QStringList result;
    TokenClass previous = TokenClass::other;
    for (const QString &cluster : UnicodeText::graphemes(name)) {
        const TokenClass kind = classOf(cluster);
        if (kind != TokenClass::other && kind == previous && !result.isEmpty())
            result.last() += cluster;
        else
            result << cluster;
        previous = kind;
    }
    return result;
}

QStringList longestCommonSubsequence(const QStringList &a, const QStringList &b)
{
    const qsizetype m = a.size();
    const qsizetype n = b.size();
    if (m == 0 || n == 0)
        return {};
    const QStringList ka = comparisonKeys(a);
    const QStringList kb = comparisonKeys(b);

    const auto width = std::size_t(n + 1);
    std::vector<qint64> table(std::size_t(m + 1) * width, 0);
    auto cell = [&](qsizetype i, qsizetype j) -> qint64 & { return table[std::size_t(i) * width + std::size_t(j)]; };
    for (qsizetype i = 1; i <= m; ++i) {
        for (qsizetype j = 1; j <= n; ++j)
            cell(i, j) =
                ka.at(i - 1) == kb.at(j - 1) ? cell(i - 1, j - 1) + 1 : std::max(cell(i - 1, j), cell(i, j - 1));
    }

    QStringList reversed;
    qsizetype i = m;
    qsizetype j = n;
    while (i > 0 && j > 0) {
        if (ka.at(i - 1) == kb.at(j - 1)) {
            reversed << a.at(i - 1);
            --i;
            --j;
        } else if (cell(i - 1, j) > cell(i, j - 1)) {
            --i;
        } else {
            --j;
        }
    }
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

QList<Segment> segments(const QStringList &units, const QStringList &common, bool isNew)
{
    const QStringList commonKeys = comparisonKeys(common);
    const Segment::Kind changed = isNew ? Segment::Kind::added : Segment::Kind::removed;

    QList<Segment> result;
    QString buffer;
    Segment::Kind bufferKind = Segment::Kind::unchanged;
    auto emitBuffer = [&] {
        result.append(Segment{QUuid::createUuid(), buffer, bufferKind});
        buffer.clear();
    };

    qsizetype k = 0;
    for (const QString &c : units) {
        const Segment::Kind kind =
            (k < commonKeys.size() && UnicodeText::nfc(c) == commonKeys.at(k)) ? Segment::Kind::unchanged : changed;
        if (kind == Segment::Kind::unchanged)
            ++k;
        if (bufferKind != kind && !buffer.isEmpty())
            emitBuffer();
        bufferKind = kind;
        buffer += c;
    }
    if (!buffer.isEmpty())
        emitBuffer();
    return result;
}

Sides compute(const QString &oldName, const QString &newName)
{
    const QString oldBase = FileNames::baseName(oldName);
    const QString newBase = FileNames::baseName(newName);
    const QString extension = FileNames::extension(newName);

    const QStringList oldTokens = tokens(oldBase);
    const QStringList newTokens = tokens(newBase);
    const QStringList common = longestCommonSubsequence(oldTokens, newTokens);
    Sides sides{segments(oldTokens, common, false), segments(newTokens, common, true)};
    if (!extension.isEmpty()) {
        const QString dotted = u'.' + extension;
        sides.oldSide.append(Segment{QUuid::createUuid(), dotted, Segment::Kind::unchanged});
        sides.newSide.append(Segment{QUuid::createUuid(), dotted, Segment::Kind::unchanged});
    }
    return sides;
}

} // namespace NameDiff
