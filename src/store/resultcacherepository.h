#pragma once

#include "store/storeerror.h"

#include <QDateTime>
#include <QString>

#include <expected>
#include <optional>

class StoreConnection;

/**
 * The language model's replies kept by what they answered (a key the caller derives from the
 * file's content and everything else that shapes the reply), so a file is not paid for twice.
 * Bounded by entries and age: a reply older than `maxAgeDays` is never handed out, and each
 * write drops the expired ones and the oldest beyond `maxEntries`. Losing the last write to a
 * power cut costs one request again, so writes wait for the disk only as long as the start-up
 * pass's do.
 */
class ResultCacheRepository final
{
public:
    struct Bounds {
        qsizetype maxEntries = 5000;
        qint64 maxAgeDays = 90;
    };

    explicit ResultCacheRepository(StoreConnection &connection);
    Q_DISABLE_COPY_MOVE(ResultCacheRepository)

    void setBounds(const Bounds &bounds) { m_bounds = bounds; }
    [[nodiscard]] const Bounds &bounds() const { return m_bounds; }

    /** The reply kept for `key` and stored after `now` minus the age bound; nullopt when none. */
    [[nodiscard]] std::expected<std::optional<QString>, StoreError> find(const QString &key,
                                                                         const QDateTime &now) const;
    /** Keeps `reply` for `key` (replacing an older one) as of `now`, then prunes to the bounds. */
    [[nodiscard]] std::expected<void, StoreError> keep(const QString &key, const QString &reply, const QDateTime &now);
    [[nodiscard]] std::expected<qsizetype, StoreError> count() const;
    /** Drops every reply; how many there were. */
    [[nodiscard]] std::expected<qsizetype, StoreError> clear();

private:
    StoreConnection &m_connection;
    Bounds m_bounds;
};
