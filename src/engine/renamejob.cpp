#include "renamejob.h"

RenameJob RenameJob::failed(const QString &path, const QString &reason)
{
    RenameJob job;
    job.originalURL = QUrl::fromLocalFile(path);
    job.suggestedName = job.originalName();
    job.confidence = 0;
    job.failureReason = reason;
    return job;
}
