#include "sourcefile.h"

#include "common/filechecks.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

SourceFile::SourceFile(QString path, Access access)
    : m_path(std::move(path))
    , m_access(access == Access::open ? Access::unreadable : access)
{
}

SourceFile::SourceFile(QString path, int descriptor)
    : m_path(std::move(path))
    , m_access(descriptor >= 0 ? Access::open : Access::unreadable)
    , m_descriptor(descriptor)
{
}

SourceFile::~SourceFile()
{
    close();
}

SourceFile::SourceFile(SourceFile &&other) noexcept
    : m_path(std::move(other.m_path))
    , m_access(std::exchange(other.m_access, Access::unreadable))
    , m_descriptor(std::exchange(other.m_descriptor, -1))
    , m_mapping(std::exchange(other.m_mapping, nullptr))
    , m_mappedSize(std::exchange(other.m_mappedSize, 0))
{
}

SourceFile &SourceFile::operator=(SourceFile &&other) noexcept
{
    if (this != &other) {
        close();
        m_path = std::move(other.m_path);
        m_access = std::exchange(other.m_access, Access::unreadable);
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_mapping = std::exchange(other.m_mapping, nullptr);
        m_mappedSize = std::exchange(other.m_mappedSize, 0);
    }
    return *this;
}

void SourceFile::close()
{
    if (m_mapping)
        ::munmap(m_mapping, size_t(m_mappedSize));
    m_mapping = nullptr;
    m_mappedSize = 0;
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}

SourceFile SourceFile::open(const QString &path, const QString &contentPath)
{
    // Decided before opening: opening a device can have effects of its own, /proc/kmsg never ends.
    const QByteArray native = QFile::encodeName(contentPath);
    struct stat before = {};
    if (::lstat(native.constData(), &before) != 0 || S_ISDIR(before.st_mode))
        return SourceFile(path, Access::unreadable);
    if (!S_ISREG(before.st_mode) || FileChecks::inSystemArea(contentPath))
        return SourceFile(path, Access::notContent);
    // Replaced by a link or a FIFO since: no link is followed, no writer awaited, and it is checked again.
    const int descriptor = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0)
        return SourceFile(path, errno == ELOOP ? Access::notContent : Access::unreadable);
    SourceFile file(path, descriptor);
    struct stat info = {};
    if (!file.status(info) || !S_ISREG(info.st_mode))
        return SourceFile(path, Access::notContent);
    return file;
}

int SourceFile::release()
{
    if (m_mapping)
        ::munmap(m_mapping, size_t(m_mappedSize));
    m_mapping = nullptr;
    m_mappedSize = 0;
    m_access = Access::unreadable;
    return std::exchange(m_descriptor, -1);
}

bool SourceFile::status(struct stat &info) const
{
    return m_descriptor >= 0 && ::fstat(m_descriptor, &info) == 0;
}

qint64 SourceFile::size() const
{
    struct stat info = {};
    return status(info) ? qint64(info.st_size) : 0;
}

std::optional<QByteArray> SourceFile::read(qint64 maxBytes) const
{
    if (m_descriptor < 0)
        return std::nullopt;
    QByteArray bytes(qsizetype(std::min(maxBytes, std::max<qint64>(size(), 0))), Qt::Uninitialized);
    qsizetype done = 0;
    // The size may have changed since: read until the end or the limit, whichever comes first.
    while (true) {
        if (done == bytes.size()) {
            if (done >= maxBytes)
                break;
            bytes.resize(std::min<qint64>(maxBytes, std::max<qint64>(2 * done, 64 * 1024)));
        }
        const ssize_t got = ::pread(m_descriptor, bytes.data() + done, size_t(bytes.size() - done), off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        done += got;
    }
    bytes.truncate(done);
    return bytes;
}

QByteArray SourceFile::bytes() const
{
    if (!m_mapping && m_descriptor >= 0) {
        const qint64 length = size();
        if (length <= 0)
            return {};
        void *mapped = ::mmap(nullptr, size_t(length), PROT_READ, MAP_PRIVATE, m_descriptor, 0);
        if (mapped == MAP_FAILED)
            return {};
        m_mapping = mapped;
        m_mappedSize = length;
    }
    return m_mapping ? QByteArray::fromRawData(static_cast<const char *>(m_mapping), qsizetype(m_mappedSize))
                     : QByteArray();
}
