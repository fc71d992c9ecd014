#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <utility>

/**
 * The character diff shown in rename previews: a longest-common-subsequence comparison of the
 * old and the new name without extensions. Characters are grapheme clusters compared by
 * canonical equivalence, case-sensitively.
 */
namespace NameDiff {

struct Segment {
    enum class Kind { unchanged, added, removed };

    QUuid id = QUuid::createUuid();
    QString text; ///< never empty
    Kind kind = Kind::unchanged;
};

struct Sides {
    QList<Segment> oldSide;
    QList<Segment> newSide;
};

/**
 * Both names are complete file names. Each side ends with one `unchanged` segment "." + the
 * new name's extension when it has one (the old name's extension is not used).
 */
[[nodiscard]] Sides compute(const QString &oldName, const QString &newName);

/** One LCS of two character lists (the walk back moves in `b` on a tie). */
[[nodiscard]] QStringList longestCommonSubsequence(const QStringList &a, const QStringList &b);

/** `text` split into runs: greedily common with `common`, else added (isNew) or removed. */
[[nodiscard]] QList<Segment> segments(const QString &text, const QStringList &common, bool isNew);

} // namespace NameDiff
