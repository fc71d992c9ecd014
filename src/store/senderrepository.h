#pragma once

#include "store/learnedsender.h"
#include "store/storeerror.h"

#include <QDateTime>
#include <QList>

#include <expected>

class StoreConnection;

/**
 * What the user kept for each sender, learned from applied renames. A sender is one row: a new
 * lesson whose identifiers meet an existing row's replaces its spelling, category and description
 * and adds its identifiers, so one correction is enough for the sender's next document. Bounded:
 * beyond `MaxSenders` the longest unused go.
 */
class SenderRepository final
{
public:
    static constexpr qsizetype MaxSenders = 5000;

    explicit SenderRepository(StoreConnection &connection);
    Q_DISABLE_COPY_MOVE(SenderRepository)

    [[nodiscard]] std::expected<void, StoreError> learn(const LearnedSender &sender, const QDateTime &now);
    /** Every sender, the latest learned first. */
    [[nodiscard]] std::expected<QList<LearnedSender>, StoreError> fetchAll() const;
    /** Forgets everything learned; how many senders there were. */
    [[nodiscard]] std::expected<qsizetype, StoreError> clear();

private:
    StoreConnection &m_connection;
};
