#include "inputexpansion.h"

#include "common/filenames.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

bool isPackage(const QFileInfo &folder)
{
    static const QSet<QString> extensions{QStringLiteral("app"),     QStringLiteral("bundle"),
                                          QStringLiteral("framework"), QStringLiteral("plugin"),
                                          QStringLiteral("kext"),    QStringLiteral("pkg"),
                                          QStringLiteral("rtfd"),    QStringLiteral("photoslibrary")};
    return extensions.contains(FileNames::extension(folder.fileName()).toLower());
}

void walk(const QString &folder, QStringList &files)
{
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName().startsWith(u'.'))
            continue;
        if (entry.isDir() && !entry.isSymLink()) {
            if (!isPackage(entry))
                walk(entry.filePath(), files);
        } else if (entry.isFile()) {
            files << entry.filePath();
        }
    }
}

} // namespace

QStringList expandInputs(const QStringList &paths, const std::atomic_bool *stop)
{
    Q_UNUSED(stop);
    QStringList expanded;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (!info.exists())
            continue;
        if (info.isDir())
            walk(QDir::cleanPath(info.absoluteFilePath()), expanded);
        else
            expanded << QDir::cleanPath(info.absoluteFilePath());
    }
    QSet<QString> seen;
    QStringList unique;
    for (const QString &file : expanded) {
        if (!seen.contains(file)) {
            seen.insert(file);
            unique << file;
        }
    }
    return unique;
}
