#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

/** Which history records a query returns; every field left empty matches all. */
struct RecordQuery {
    /** Contained in the lower-cased `originalName` or `newName` (full Unicode case mapping). */
    std::optional<QString> search;
    std::optional<QString> provider; ///< `providerUsed`, exactly
    std::optional<QDateTime> from;   ///< `timestamp` at or after
    std::optional<QDateTime> to;     ///< `timestamp` at or before
    std::optional<bool> reverted;
    std::optional<QString> newPath;
    std::optional<qint64> batch; ///< the records of one apply
    /** What the records are ordered by; ties go by id in the same direction. */
    enum class Order { time, originalName, newName, provider, reverted };
    Order order = Order::time;
    bool ascending = false; ///< the default: newest first
    qsizetype offset = 0;   ///< of that order, for paging
    qsizetype limit = -1;   ///< negative: all
};
