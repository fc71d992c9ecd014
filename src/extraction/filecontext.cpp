#include "filecontext.h"

#include "common/filenames.h"
#include "extraction/sourcefile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

QDateTime fromTimestamp(const struct statx_timestamp &ts)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000, Qt::UTC);
}

// Size and dates from `name` under `folder`; AT_EMPTY_PATH reads the descriptor `folder` itself.
void readAttributes(FileContext &context, int folder, const char *name, int flags)
{
    struct statx attributes = {};
    if (::statx(folder, name, flags, STATX_SIZE | STATX_BTIME | STATX_MTIME, &attributes) != 0)
        return;
    if (attributes.stx_mask & STATX_SIZE)
        context.fileSize = qint64(attributes.stx_size);
    if (attributes.stx_mask & STATX_BTIME)
        context.creationDate = fromTimestamp(attributes.stx_btime);
    if (attributes.stx_mask & STATX_MTIME)
        context.modificationDate = fromTimestamp(attributes.stx_mtime);
}

FileContext named(const QString &path, const QString &extractedText, const MetadataMap &metadata)
{
    FileContext context;
    context.url = QUrl::fromLocalFile(path);
    context.fileName = path.mid(path.lastIndexOf(u'/') + 1);
    context.fileExtension = lowerExtension(path);
    context.extractedText = extractedText;
    context.metadata = metadata;
    return context;
}

} // namespace

QString lowerExtension(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return FileNames::extension(path.mid(slash + 1)).toLower();
}

FileContext FileContext::make(const QString &path, const QString &extractedText, const MetadataMap &metadata)
{
    FileContext context = named(path, extractedText, metadata);
    readAttributes(context, AT_FDCWD, QFile::encodeName(path).constData(), 0);
    return context;
}

FileContext FileContext::make(const SourceFile &file, const QString &extractedText, const MetadataMap &metadata)
{
    if (!file.isOpen())
        return make(file.path(), extractedText, metadata);
    FileContext context = named(file.path(), extractedText, metadata);
    readAttributes(context, file.descriptor(), "", AT_EMPTY_PATH);
    return context;
}
