#pragma once

#include <QDateTime>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

/** How the store's tables hold values; shared by every table's mapping. */
namespace StoreValues {

/** Qt binds a null QString as SQL NULL; the text columns hold "" for it. */
inline QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

/** Milliseconds since the epoch, UTC: exact, and sorts as a number. */
inline QVariant moment(const QDateTime &value)
{
    return value.isValid() ? QVariant(value.toMSecsSinceEpoch()) : QVariant();
}

inline QDateTime momentAt(const QSqlQuery &query, int column)
{
    return query.isNull(column) ? QDateTime()
                                : QDateTime::fromMSecsSinceEpoch(query.value(column).toLongLong(), Qt::UTC);
}

/** "?, ?, ?" for `count` bound values. */
inline QString placeholders(qsizetype count)
{
    QStringList marks;
    marks.fill(QStringLiteral("?"), count);
    return marks.join(u", ");
}

} // namespace StoreValues
