#include "renamejob.h"

#include <algorithm>
#include <cmath>

RenameJob RenameJob::failed(const QString &path, const QString &reason)
{
    RenameJob job;
    job.originalURL = QUrl::fromLocalFile(path);
    job.suggestedName = job.originalName();
    job.confidence = 0;
    job.approved = false; // nothing to rename, and "Umbenennen" must not count it
    job.failureReason = reason;
    return job;
}

QStringList RenameJob::unverifiedFields() const
{
    QStringList fields;
    for (const Grounding::FieldCheck &check : unverified)
        fields.append(check.field);
    return fields;
}

bool RenameJob::needsReview() const
{
    return std::ranges::any_of(unverified, [](const Grounding::FieldCheck &check) {
        return check.field == u"datum" || check.field == u"betrag" || check.field == u"name";
    });
}

bool RenameJob::isSure() const
{
    return explanation && explanation->extraction &&
           std::ranges::none_of(unverified, [](const Grounding::FieldCheck &check) {
               return check.field == u"datum" || check.field == u"betrag" || check.field == u"absender";
           });
}

QString RenameJob::confidenceText(double confidence)
{
    // 0.29 * 100 is 28.999…: without the nudge it would read one percent low.
    return QString::number(qint64(std::trunc(std::max(confidence, 0.0) * 100 + 1e-9))) + u'%';
}
