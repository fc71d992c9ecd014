#include "zipentry.h"

#include <zip.h>

#include <algorithm>
#include <memory>

namespace ZipEntry {
namespace {

struct ArchiveCloser {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct FileCloser {
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};

constexpr qint64 ChunkSize = 256 * 1024;

using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

Archive open(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return nullptr;
    zip_source_t *source = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, nullptr);
    if (!source)
        return nullptr;
    Archive archive(zip_open_from_source(source, ZIP_RDONLY, nullptr));
    if (!archive) // on success the archive owns the source
        zip_source_free(source);
    return archive;
}

} // namespace

std::optional<QByteArray> read(const QByteArray &archiveBytes, const QString &entryName, qint64 maxBytes)
{
    const Archive archive = open(archiveBytes);
    if (!archive)
        return std::nullopt;
    const zip_int64_t index = zip_name_locate(archive.get(), entryName.toUtf8().constData(), 0);
    if (index < 0)
        return std::nullopt;
    const std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(archive.get(), zip_uint64_t(index), 0));
    if (!file)
        return std::nullopt;

    // Grows with what is really inflated; the size the directory claims may be a lie.
    QByteArray bytes;
    while (bytes.size() < maxBytes) {
        const qint64 want = std::min(ChunkSize, maxBytes - bytes.size());
        const qsizetype before = bytes.size();
        bytes.resize(before + want);
        const zip_int64_t got = zip_fread(file.get(), bytes.data() + before, zip_uint64_t(want));
        bytes.resize(before + std::max<zip_int64_t>(got, 0));
        if (got <= 0)
            break;
    }
    return bytes;
}

QStringList names(const QByteArray &archiveBytes)
{
    const Archive archive = open(archiveBytes);
    QStringList names;
    const zip_int64_t count = archive ? zip_get_num_entries(archive.get(), 0) : 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        if (const char *name = zip_get_name(archive.get(), zip_uint64_t(i), 0))
            names << QString::fromUtf8(name);
    }
    return names;
}

QStringList numbered(const QStringList &names, QStringView prefix)
{
    QList<std::pair<qulonglong, QString>> numbered;
    for (const QString &name : names) {
        if (!name.startsWith(prefix) || !name.endsWith(u".xml"))
            continue;
        bool isNumber = false;
        const qulonglong number =
            QStringView(name).sliced(prefix.size(), name.size() - prefix.size() - 4).toULongLong(&isNumber);
        if (isNumber)
            numbered.append({number, name});
    }
    std::sort(numbered.begin(), numbered.end());
    QStringList sorted;
    for (const auto &[number, name] : std::as_const(numbered))
        sorted << name;
    return sorted;
}

} // namespace ZipEntry
