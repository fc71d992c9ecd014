#pragma once

#include "engine/renamejob.h"

#include <QHash>
#include <QObject>
#include <QTimer>

class ObjectStore;
class RenameEngine;

/**
 * Keeps the engine's review list in the store, so that rows, edits and ticks outlive the app:
 * what changed is written shortly after it changed (and at once by flush()), and restore() puts
 * the rows back at the next start. What was sent and why a field was checked stays in memory:
 * a restored row explains itself again once analysed anew.
 */
class ReviewKeeper final : public QObject
{
    Q_OBJECT

public:
    /** How long changes gather before they are written: typing in a row is one write. */
    static constexpr int GatherMs = 500;

    ReviewKeeper(RenameEngine &engine, ObjectStore &store, QObject *parent = nullptr);
    ~ReviewKeeper() override;
    Q_DISABLE_COPY_MOVE(ReviewKeeper)

    /** Puts the kept rows into the engine's empty list; rows whose file is gone are dropped. */
    void restore();
    /** Writes what changed since the last write. */
    void flush();

    [[nodiscard]] static QByteArray serialise(const RenameJob &job);
    [[nodiscard]] static std::optional<RenameJob> deserialise(const QString &id, const QByteArray &data);

private:
    RenameEngine &m_engine;
    ObjectStore &m_store;
    QTimer m_gather;
    QHash<QString, QByteArray> m_kept; ///< what the store holds, by job id
    QHash<QString, qint64> m_orders;   ///< each kept row's place
    qint64 m_nextOrder = 0;
};
