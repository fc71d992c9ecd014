#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <utility>

/**
 * The diff shown in rename previews: a longest-common-subsequence comparison of the old and the
 * new name without extensions, by name segments (see `tokens`), so a changed word is marked whole
 * instead of as scattered letters that happen to match. Segments are compared by canonical
 * equivalence, case-sensitively.
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

/**
 * `name` split into the units the diff compares: runs of letters (with their marks), runs of
 * digits, and every other grapheme cluster ("_", "-", ".", a space, an emoji) on its own.
 */
[[nodiscard]] QStringList tokens(QStringView name);

/** One LCS of two token lists (the walk back moves in `b` on a tie). */
[[nodiscard]] QStringList longestCommonSubsequence(const QStringList &a, const QStringList &b);

/** `units` joined into runs: greedily common with `common`, else added (isNew) or removed. */
[[nodiscard]] QList<Segment> segments(const QStringList &units, const QStringList &common, bool isNew);

} // namespace NameDiff
