#include "filedescription.h"

#include "extraction/sourcefile.h"

#include <QFile>
#include <QLocale>

#include <sys/stat.h>

namespace FileDescription {
namespace {

QString typeDescription(mode_t mode)
{
    if (S_ISLNK(mode))
        return QStringLiteral("Symbolischer Link");
    if (S_ISDIR(mode))
        return QStringLiteral("Ordner");
    if (S_ISREG(mode))
        return QStringLiteral("Reguläre Datei");
    return QStringLiteral("Sonderdatei");
}

} // namespace

MetadataMap of(const SourceFile &file)
{
    struct stat info = {};
    if (!file.status(info) && ::lstat(QFile::encodeName(file.path()).constData(), &info) != 0)
        return {};
    MetadataMap metadata;
    metadata.set(QStringLiteral("size"), QLocale().formattedDataSize(info.st_size, 1, QLocale::DataSizeSIFormat));
    metadata.set(QStringLiteral("type"), typeDescription(info.st_mode));
    return metadata;
}

FileContext describe(const QString &path)
{
    return FileContext::make(path, QString(), of(SourceFile(path, SourceFile::Access::notContent)));
}

} // namespace FileDescription
