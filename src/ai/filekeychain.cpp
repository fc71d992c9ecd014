#include "filekeychain.h"

#include "ai/ailog.h"
#include "common/stringtable.h"
#include "settings/defaultsstore.h"

#include <QCoroFuture>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QtConcurrentRun>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t PrivateMode = 0600;

// mkostemp creates the file 0600 whatever the umask allows beyond that; fchmod puts back the
// owner bits a strict umask may have taken. Returns an errno value, 0 on success.
int writePrivately(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = ::fchmod(fd, PrivateMode) == 0 ? 0 : errno;
    for (qsizetype done = 0; !error && done < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += n;
    }
    // Durable before it replaces the old version: a crash must not leave an empty file.
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0)
        error = errno;
    if (error)
        ::unlink(temporary.constData());
    return error;
}

} // namespace

FileKeychain::FileKeychain(QString filePath)
    : m_filePath(std::move(filePath))
{
    m_writer.setMaxThreadCount(1); // one writer keeps the versions in order
}

FileKeychain::~FileKeychain()
{
    *m_alive = false;
    m_writer.waitForDone();
}

QString FileKeychain::standardFilePath()
{
    return QFileInfo(DefaultsStore::standardFilePath()).absolutePath() + QStringLiteral("/credentials.json");
}

void FileKeychain::loadOnce()
{
    if (m_loaded)
        return;
    m_loaded = true;
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // A copy someone made readable to others is narrowed before anything else happens to it.
    struct stat info {
    };
    if (::fstat(file.handle(), &info) == 0 && (info.st_mode & 07777) != PrivateMode)
        ::fchmod(file.handle(), PrivateMode);
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    file.close();
    if (document.isObject()) {
        m_secrets = document.object();
        return;
    }
    // The secrets in it may still be recoverable by hand; a rename keeps its mode.
    const QString aside = m_filePath + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFile::rename(m_filePath, aside))
        qCWarning(lcAI, "the key file %s was unreadable and was moved to %s", qUtf8Printable(m_filePath),
                  qUtf8Printable(aside));
}

QCoro::Task<std::optional<QString>> FileKeychain::read(QString service, QString account)
{
    loadOnce();
    const QJsonValue value = m_secrets.value(service).toObject().value(account);
    co_return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

QCoro::Task<SecretPlacement> FileKeychain::save(QString value, QString service, QString account)
{
    loadOnce();
    QJsonObject accounts = m_secrets.value(service).toObject();
    accounts.insert(account, value);
    m_secrets.insert(service, accounts);
    // The keychain may go while the write finishes (its destructor waits for the write, not for
    // this continuation): nothing of it is touched after the wait unless it is still there.
    const std::shared_ptr<bool> alive = m_alive;
    const QString path = m_filePath;
    QCoro::Task<int> writing = persist();
    const int error = co_await std::move(writing);
    if (!error)
        co_return SecretPlacement{SecretPlacement::Place::privateFile, {}};
    if (*alive) {
        // Read again from the disk: memory must not hold a key the next run will not find.
        m_loaded = false;
        m_secrets = {};
    }
    co_return SecretPlacement{
        SecretPlacement::Place::nowhere,
        StringTable::text("keychain.notSaved").arg(path, QString::fromLocal8Bit(std::strerror(error)))};
}

QCoro::Task<> FileKeychain::remove(QString service, QString account)
{
    loadOnce();
    QJsonObject accounts = m_secrets.value(service).toObject();
    if (!accounts.contains(account))
        co_return;
    accounts.remove(account);
    if (accounts.isEmpty())
        m_secrets.remove(service);
    else
        m_secrets.insert(service, accounts);
    QCoro::Task<int> writing = persist();
    co_await std::move(writing);
}

QCoro::Task<int> FileKeychain::persist()
{
    const QString path = m_filePath;
    const QByteArray data = QJsonDocument(m_secrets).toJson(QJsonDocument::Indented);
    QFuture<int> writing = QtConcurrent::run(&m_writer, writePrivately, path, data);
    const int error = co_await writing;
    if (error)
        qCWarning(lcAI, "API keys could not be stored in %s: %s", qUtf8Printable(path), std::strerror(error));
    co_return error;
}
