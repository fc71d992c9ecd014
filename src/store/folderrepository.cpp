#include "folderrepository.h"

using namespace StoreValues;

template <> struct Table<WatchedFolder> {
    static QString name() { return QStringLiteral("watched_folder"); }
    static QString order() { return QStringLiteral("added_at ASC, id ASC"); }
    static QStringList writtenColumns()
    {
        return {QStringLiteral("path"), QStringLiteral("is_active"), QStringLiteral("auto_rename"),
                QStringLiteral("template_name"), QStringLiteral("added_at")};
    }
    static QStringList readColumns() { return writtenColumns() << QStringLiteral("watched_until"); }
    static QVariantList writtenValues(const WatchedFolder &f)
    {
        return {text(f.path), int(f.isActive), int(f.autoRename), f.templateName ? text(*f.templateName) : QVariant(),
                moment(f.addedAt)};
    }
    static WatchedFolder fromRow(const QSqlQuery &q)
    {
        WatchedFolder f;
        f.id = q.value(0).toLongLong();
        f.path = q.value(1).toString();
        f.isActive = q.value(2).toLongLong() != 0;
        f.autoRename = q.value(3).toLongLong() != 0;
        if (!q.isNull(4))
            f.templateName = q.value(4).toString();
        f.addedAt = momentAt(q, 5);
        f.watchedUntil = momentAt(q, 6);
        return f;
    }
};

template class Repository<WatchedFolder>;
