#include "inputexpansion.h"

#include "common/filechecks.h"
#include "common/filenames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool isPackage(const QString &folderName)
{
    static const QSet<QString> extensions{
        QStringLiteral("app"),  QStringLiteral("bundle"), QStringLiteral("framework"), QStringLiteral("plugin"),
        QStringLiteral("kext"), QStringLiteral("pkg"),    QStringLiteral("rtfd"),      QStringLiteral("photoslibrary")};
    return extensions.contains(FileNames::extension(folderName).toLower());
}

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

/**
 * Walks open folders by descriptor (openat with O_NOFOLLOW), so a symbolic link swapped in
 * during the walk is never followed, and reads each entry's type from the directory itself
 * (lstat semantics) instead of one stat per file.
 */
class Walk final
{
public:
    Walk(QStringList &files, const std::atomic_bool *stop)
        : m_files(files)
        , m_stop(stop)
    {
    }

    [[nodiscard]] bool stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }

    /** Walks the open folder `fd` (closing it) unless it is a system folder. */
    void folder(int fd, const QString &path)
    {
        if (m_system.contains(fd)) {
            ::close(fd);
            return;
        }
        DIR *listing = ::fdopendir(fd);
        if (!listing) {
            ::close(fd);
            return;
        }
        const std::vector<Entry> entries = read(listing);
        const QString prefix = path.endsWith(u'/') ? path : path + u'/';
        for (const Entry &entry : entries) {
            if (stopped())
                break;
            if (!entry.isFolder) {
                m_files << prefix + entry.name;
            } else if (!isPackage(entry.name)) {
                const int child = ::openat(::dirfd(listing), entry.encoded.constData(), FolderFlags);
                if (child >= 0)
                    folder(child, prefix + entry.name);
            }
        }
        ::closedir(listing);
    }

private:
    struct Entry {
        QString name;
        QByteArray encoded;
        bool isFolder = false;
    };

    /** The listing's visible folders and regular files in name order. */
    std::vector<Entry> read(DIR *listing) const
    {
        std::vector<Entry> entries;
        while (const dirent *item = ::readdir(listing)) {
            if (stopped())
                break;
            if (item->d_name[0] == '.') // hidden, and "." and ".."
                continue;
            unsigned char type = item->d_type;
            if (type == DT_UNKNOWN) {
                struct stat info = {};
                if (::fstatat(::dirfd(listing), item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
            }
            if (type == DT_REG || type == DT_DIR) {
                const QByteArray encoded(item->d_name);
                entries.push_back({QFile::decodeName(encoded), encoded, type == DT_DIR});
            }
        }
        std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.name < b.name; });
        return entries;
    }

    QStringList &m_files;
    const std::atomic_bool *m_stop;
    const FileChecks::SystemFolders m_system;
};

} // namespace

QStringList expandInputs(const QStringList &paths, const std::atomic_bool *stop)
{
    Q_UNUSED(stop);
    QStringList expanded;
    Walk walk(expanded, stop);
    for (const QString &path : paths) {
        if (walk.stopped())
            break;
        if (path.isEmpty())
            continue;
        const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        const QByteArray encoded = QFile::encodeName(clean);
        struct stat info = {};
        if (::lstat(encoded.constData(), &info) != 0) {
            // Missing paths are dropped; one whose name lost bytes that are not UTF-8 gets its failed job.
            if (FileChecks::refusal(clean))
                expanded << clean;
            continue;
        }
        if (!S_ISDIR(info.st_mode)) {
            expanded << clean;
        } else if (!FileChecks::inSystemArea(clean)) {
            const int fd = ::open(encoded.constData(), FolderFlags);
            if (fd >= 0)
                walk.folder(fd, clean);
        }
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
