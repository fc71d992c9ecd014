#include "templaterepository.h"

using namespace StoreValues;

template <> struct Table<NamingTemplate> {
    static QString name() { return QStringLiteral("naming_template"); }
    static QString order() { return QStringLiteral("created_at ASC, id ASC"); }
    static QStringList writtenColumns()
    {
        return {QStringLiteral("name"), QStringLiteral("pattern"), QStringLiteral("example"),
                QStringLiteral("is_default"), QStringLiteral("created_at")};
    }
    static QStringList readColumns() { return writtenColumns(); }
    static QVariantList writtenValues(const NamingTemplate &t)
    {
        return {text(t.name), text(t.pattern), text(t.example), int(t.isDefault), moment(t.createdAt)};
    }
    static NamingTemplate fromRow(const QSqlQuery &q)
    {
        NamingTemplate t;
        t.id = q.value(0).toLongLong();
        t.name = q.value(1).toString();
        t.pattern = q.value(2).toString();
        t.example = q.value(3).toString();
        t.isDefault = q.value(4).toLongLong() != 0;
        t.createdAt = momentAt(q, 5);
        return t;
    }
};

template class Repository<NamingTemplate>;
