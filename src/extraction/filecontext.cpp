#include "filecontext.h"

#include "common/filenames.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

QDateTime fromTimestamp(const struct statx_timestamp &ts)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000, Qt::UTC);
}

} // namespace

QString lowerExtension(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return FileNames::extension(path.mid(slash + 1)).toLower();
}

FileContext FileContext::make(const QString &path, const QString &extractedText, const MetadataMap &metadata)
{
    FileContext context;
    context.url = QUrl::fromLocalFile(path);
    context.fileName = path.mid(path.lastIndexOf(u'/') + 1);
    context.fileExtension = lowerExtension(path);
    context.extractedText = extractedText;
    context.metadata = metadata;

    struct statx attributes = {};
    const QByteArray native = QFile::encodeName(path);
    if (::statx(AT_FDCWD, native.constData(), 0, STATX_SIZE | STATX_BTIME | STATX_MTIME, &attributes) == 0) {
        if (attributes.stx_mask & STATX_SIZE)
            context.fileSize = qint64(attributes.stx_size);
        if (attributes.stx_mask & STATX_BTIME)
            context.creationDate = fromTimestamp(attributes.stx_btime);
        if (attributes.stx_mask & STATX_MTIME)
            context.modificationDate = fromTimestamp(attributes.stx_mtime);
    }
    return context;
}
