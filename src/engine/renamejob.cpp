#include "renamejob.h"

#include <algorithm>

RenameJob RenameJob::failed(const QString &path, const QString &reason)
{
    RenameJob job;
    job.originalURL = QUrl::fromLocalFile(path);
    job.suggestedName = job.originalName();
    job.confidence = 0;
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
