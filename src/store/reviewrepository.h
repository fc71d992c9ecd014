#pragma once

#include "store/storeerror.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <expected>

class StoreConnection;

/** One row of the review list as kept: the engine's own serialisation, in the list's order. */
struct ReviewRow {
    QString id;
    qint64 order = 0;
    QByteArray data;

    friend bool operator==(const ReviewRow &, const ReviewRow &) = default;
};

/**
 * The review list between sessions: what was analysed and not yet applied, with the user's edits
 * and ticks. The engine writes what changed since its last write; the rows' content is its own.
 */
class ReviewRepository final
{
public:
    explicit ReviewRepository(StoreConnection &connection);
    Q_DISABLE_COPY_MOVE(ReviewRepository)

    /** Writes `changed` (new or altered rows) and drops `removed`, in one transaction. */
    [[nodiscard]] std::expected<void, StoreError> keep(const QList<ReviewRow> &changed, const QStringList &removed);
    /** Every row, in the list's order. */
    [[nodiscard]] std::expected<QList<ReviewRow>, StoreError> fetchAll() const;

private:
    StoreConnection &m_connection;
};
