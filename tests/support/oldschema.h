#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

/** Turns the closed store file at `path` back into schema `version` (1 to 3), as earlier versions wrote it. */
inline bool downgradeStore(const QString &path, int version)
{
    QStringList steps{"DROP INDEX rename_record_reverting",
                      "ALTER TABLE rename_record DROP COLUMN reverting",
                      "ALTER TABLE rename_record DROP COLUMN file_ctime",
                      "ALTER TABLE rename_record DROP COLUMN file_ctime_ns",
                      "DROP INDEX rename_record_by_original_name",
                      "DROP INDEX rename_record_by_new_name",
                      "DROP INDEX rename_record_by_reverted",
                      "DROP INDEX rename_record_by_batch",
                      "ALTER TABLE rename_record DROP COLUMN batch_id",
                      "ALTER TABLE watched_folder DROP COLUMN watched_until"};
    steps << "DROP TABLE result_cache"
          << "DROP TABLE learned_sender"
          << "DROP TABLE review_row";
    if (version < 3)
        for (const char *column : {"file_device", "file_inode", "file_size", "file_mtime", "file_mtime_ns"})
            steps << QString("ALTER TABLE rename_record DROP COLUMN ") + column;
    if (version < 2)
        steps << "DROP INDEX rename_record_by_provider"
              << "ALTER TABLE rename_record DROP COLUMN original_name_folded"
              << "ALTER TABLE rename_record DROP COLUMN new_name_folded";
    steps << QString("PRAGMA user_version = %1").arg(version);
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "downgrade");
        db.setDatabaseName(path);
        done = db.open();
        for (const QString &step : steps)
            done = done && QSqlQuery(db).exec(step);
    }
    QSqlDatabase::removeDatabase("downgrade");
    return done;
}
