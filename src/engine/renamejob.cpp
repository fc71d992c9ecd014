#include "renamejob.h"

RenameJob RenameJob::failed(const QString &path)
{
    RenameJob job;
    job.originalURL = QUrl::fromLocalFile(path);
    job.suggestedName = job.originalName();
    job.confidence = 0;
    return job;
}
