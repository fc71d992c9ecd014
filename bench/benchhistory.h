// The history the benchmarks measure with: a record a minute, as a scanner's inbox renamed over time.
#pragma once

#include "store/renamerecord.h"

#include <QDateTime>
#include <QList>

inline QList<RenameRecord> benchHistory(int count, const QDateTime &start)
{
    QList<RenameRecord> history;
    history.reserve(count);
    for (int i = 0; i < count; ++i) {
        RenameRecord record;
        record.providerUsed = i % 2 ? QStringLiteral("OpenAI") : QStringLiteral("Claude");
        record.confidence = 0.9;
        const QString number = QString::number(i);
        record.originalName = QStringLiteral("scan-") + number + QStringLiteral(".pdf");
        record.newName = QStringLiteral("2024-03-15_rechnung_mobilfunk-") + number + QStringLiteral(".pdf");
        record.originalPath = QStringLiteral("/home/nutzer/Dokumente/Eingang/") + record.originalName;
        record.newPath = QStringLiteral("/home/nutzer/Dokumente/Eingang/") + record.newName;
        record.timestamp = start.addSecs(qint64(i) * 60);
        history << record;
    }
    return history;
}
