#include "filenames.h"

namespace FileNames {
namespace {

qsizetype extensionDot(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return (dot <= 0 || dot == fileName.size() - 1) ? -1 : dot;
}

} // namespace

QString extension(const QString &fileName)
{
    const qsizetype dot = extensionDot(fileName);
    return dot < 0 ? QString() : fileName.mid(dot + 1);
}

QString baseName(const QString &fileName)
{
    const qsizetype dot = extensionDot(fileName);
    return dot < 0 ? fileName : fileName.left(dot);
}

bool sameExtension(const QString &fileName, const QString &newName)
{
    return extension(fileName).compare(extension(newName), Qt::CaseInsensitive) == 0;
}

QString withExtensionOf(const QString &newName, const QString &fileName)
{
    const QString kept = extension(fileName);
    return kept.isEmpty() ? baseName(newName) : baseName(newName) + u'.' + kept;
}

} // namespace FileNames
