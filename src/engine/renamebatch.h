#pragma once

#include "engine/filemoves.h"
#include "engine/renamejob.h"
#include "store/renamerecord.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <expected>
#include <functional>

class ObjectStore;

/**
 * Told how far a batch of file moves is, before each file and after the last (`done` of
 * `total`); false stops the batch there, between two files.
 */
using BatchProgress = std::function<bool(int done, int total)>;

/**
 * One apply: renames the files of the approved jobs among those selected. Each job's file and name
 * are checked first; the records are stored (pending) in one synced transaction before the files
 * move and confirmed in one after; no move ever replaces an existing file, and destinations are
 * unique within the batch too. The records of one run form one batch in the store, undone as a
 * whole by `Undo::revertBatch`. Without a store nothing is renamed. A stop leaves the files moved
 * so far renamed and recorded and the others untouched, without a failure.
 */
class RenameBatch
{
public:
    struct Outcome {
        QList<RenameRecord> records;       ///< in job order
        QMap<qsizetype, QString> failures; ///< German reasons by job index
        QSet<qsizetype> renamed;           ///< job indexes
        int stopped = 0;                   ///< jobs a stop left untouched
    };

    static Outcome run(ObjectStore *store, const QList<RenameJob> &jobs, const QList<qsizetype> &selected,
                       const QString &provider, const BatchProgress &progress = {});
    /** Every job to rename among those selected fails with `reason`, and nothing moves. */
    static Outcome refuse(const QList<RenameJob> &jobs, const QList<qsizetype> &selected, const QString &reason);

private:
    /** One job's rename on its way through the batch. */
    struct Move {
        qsizetype job = 0;
        QString suggestedName;
        RenameRecord record;
        FileMoves::ModificationTime modified;
    };

    RenameBatch(ObjectStore &store, const QString &provider);

    /** Checks a job's file and chooses its destination (free on disk and in the batch), or says why not. */
    [[nodiscard]] std::expected<Move, QString> plan(const RenameJob &job);
    /** Moves a planned file, to the next free name (with a new pending record) when its destination was taken. */
    std::expected<void, QString> perform(Move &move);

    ObjectStore &m_store;
    struct Shared {
        /**
         * The sources and destinations of the batch: no two jobs get one name, and no job takes a
         * name an earlier move freed (the start-up pass tells a moved file by its free old name).
         */
        QSet<QString> reserved;
        QHash<QString, bool> writableFolders;
        QString provider;

        /** A name free on disk and in the batch, now reserved. */
        QString destination(const QString &folder, const QString &name);
        bool isWritable(const QString &folder);
    } m_shared;
};
