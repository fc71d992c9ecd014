#include "historyexport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

QByteArray HistoryExport::csv(const QList<RenameRecord> &records)
{
    QString text = QStringLiteral("Original;Neu;Datum;Provider;Rückgängig\n");
    for (const RenameRecord &record : records) {
        const QString date =
            record.timestamp.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
        text += record.originalName + u';' + record.newName + u';' + date + u';' + record.providerUsed + u';' +
                flag(record.reverted) + u'\n';
    }
    return text.toUtf8();
}

QByteArray HistoryExport::json(const QList<RenameRecord> &records)
{
    QJsonArray array;
    for (const RenameRecord &record : records) {
        array.append(QJsonObject{
            {QStringLiteral("original"), record.originalName},
            {QStringLiteral("new"), record.newName},
            {QStringLiteral("date"), record.timestamp.toUTC().toString(Qt::ISODate)},
            {QStringLiteral("provider"), record.providerUsed},
            {QStringLiteral("reverted"), flag(record.reverted)},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}
