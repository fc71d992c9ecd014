#pragma once

#include <QList>
#include <QString>

#include <algorithm>

/** Levenshtein distance in UTF-16 code units: the fewest insertions, deletions and substitutions. */
inline int editDistance(const QString &a, const QString &b)
{
    QList<int> row(b.size() + 1);
    for (qsizetype j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j < row.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.last();
}
