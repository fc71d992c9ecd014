#include "defaultsstore.h"

#include "settingslog.h"

#include "common/stringtable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {

// The file holds the REST API and Korvex tokens: only its owner may read it.
constexpr mode_t PrivateMode = 0600;

// Bytes and dates have no JSON type of their own; they are tagged objects in the file.
const QString BytesTag = QStringLiteral("$bytes");
const QString DateTag = QStringLiteral("$date");

QJsonValue encode(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::LongLong:
    case QMetaType::Int:
        return value.toLongLong();
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QByteArray:
        return QJsonObject{{BytesTag, QString::fromLatin1(value.toByteArray().toBase64())}};
    case QMetaType::QDateTime:
        return QJsonObject{{DateTag, value.toDateTime().toUTC().toString(Qt::ISODateWithMs)}};
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant &element : value.toList())
            array.append(encode(element));
        return array;
    }
    case QMetaType::QVariantMap:
        return QJsonObject::fromVariantMap(value.toMap());
    default:
        return QJsonValue::fromVariant(value);
    }
}

QVariant decode(const QJsonValue &value)
{
    if (value.isArray()) {
        QVariantList list;
        for (const QJsonValue &element : value.toArray())
            list << decode(element);
        return list;
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        if (object.size() == 1 && object.value(BytesTag).isString())
            return QByteArray::fromBase64(object.value(BytesTag).toString().toLatin1());
        if (object.size() == 1 && object.value(DateTag).isString())
            return QDateTime::fromString(object.value(DateTag).toString(), Qt::ISODateWithMs);
        return object.toVariantMap();
    }
    return value.toVariant(); // integers come back as qlonglong, others as double
}

QString asideName(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = path + QStringLiteral(".corrupt-") + stamp + u'-' + QString::number(n);
    return candidate;
}

} // namespace

DefaultsStore::DefaultsStore()
{
    m_writer.setMaxThreadCount(1);
}

DefaultsStore::DefaultsStore(const QString &filePath)
    : m_filePath(filePath)
{
    m_writer.setMaxThreadCount(1);
    load();
}

DefaultsStore::~DefaultsStore()
{
    flush();
}

DefaultsStore &DefaultsStore::standard()
{
    static DefaultsStore store(standardFilePath());
    return store;
}

QString DefaultsStore::standardFilePath()
{
    // Fixed folder name rather than the application name, so every binary of the project
    // (app, tests, helpers) finds the same file under a given XDG_CONFIG_HOME.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/namorix/settings.json");
}

void DefaultsStore::load()
{
    QFile file(m_filePath);
    if (!file.exists()) {
        m_persistent = true;
        return;
    }
    // A copy someone made readable to others is narrowed before anything else happens to it.
    struct stat info {
    };
    const QByteArray nativePath = QFile::encodeName(m_filePath);
    if (::stat(nativePath.constData(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 07777) != PrivateMode)
        ::chmod(nativePath.constData(), PrivateMode);
    if (!file.open(QIODevice::ReadOnly)) {
        m_loadProblem = {"settings.file.unreadable", m_filePath, file.errorString()};
        qCWarning(lcSettings, "settings file %s unreadable (%s): defaults apply, changes are not stored",
                  qPrintable(m_filePath), qPrintable(file.errorString()));
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    if (error.error == QJsonParseError::NoError && document.isObject()) {
        const QJsonObject object = document.object();
        for (auto it = object.begin(); it != object.end(); ++it)
            m_values.insert(it.key(), decode(it.value()));
        m_persistent = true;
        return;
    }

    const QString aside = asideName(m_filePath);
    if (QFile::rename(m_filePath, aside)) {
        m_persistent = true;
        m_loadProblem = {"settings.file.setAside", aside, {}};
        qCWarning(lcSettings, "settings file was damaged and is kept as %s: defaults apply", qPrintable(aside));
    } else {
        m_loadProblem = {"settings.file.damaged", m_filePath, {}};
        qCWarning(lcSettings,
                  "settings file %s is damaged and could not be set aside: defaults apply, changes are not "
                  "stored",
                  qPrintable(m_filePath));
    }
}

QString DefaultsStore::loadProblem() const
{
    QMutexLocker lock(&m_mutex);
    if (!m_loadProblem.id)
        return {};
    const QString text = StringTable::text(m_loadProblem.id);
    return text.contains(u"%2") ? text.arg(m_loadProblem.path, m_loadProblem.detail) : text.arg(m_loadProblem.path);
}

bool DefaultsStore::contains(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_values.contains(key);
}

bool DefaultsStore::boolValue(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    const QVariant value = m_values.value(key);
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::LongLong:
    case QMetaType::Double:
        return value.toDouble() != 0;
    case QMetaType::QString: {
        const QString text = value.toString().toLower();
        return text == u"true" || text == u"yes" || text == u"1";
    }
    default:
        return false;
    }
}

qint64 DefaultsStore::integerValue(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    const QVariant value = m_values.value(key);
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Double:
        return qint64(value.toDouble());
    case QMetaType::QString:
        return value.toString().trimmed().toLongLong();
    default:
        return 0;
    }
}

template <typename T> std::optional<T> DefaultsStore::valueOfType(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    const QVariant value = m_values.value(key);
    if (value.metaType() != QMetaType::fromType<T>())
        return std::nullopt;
    return value.value<T>();
}

std::optional<QString> DefaultsStore::stringValue(const QString &key) const
{
    return valueOfType<QString>(key);
}
std::optional<QVariantList> DefaultsStore::arrayValue(const QString &key) const
{
    return valueOfType<QVariantList>(key);
}
std::optional<QByteArray> DefaultsStore::bytesValue(const QString &key) const
{
    return valueOfType<QByteArray>(key);
}

std::optional<QDateTime> DefaultsStore::dateValue(const QString &key) const
{
    const std::optional<QDateTime> date = valueOfType<QDateTime>(key);
    return date && date->isValid() ? date : std::nullopt;
}

void DefaultsStore::setBool(const QString &key, bool value)
{
    set(key, value);
}
void DefaultsStore::setInteger(const QString &key, qint64 value)
{
    set(key, QVariant::fromValue<qlonglong>(value));
}
void DefaultsStore::setString(const QString &key, const QString &value)
{
    set(key, value);
}
void DefaultsStore::setBytes(const QString &key, const QByteArray &value)
{
    set(key, value);
}
void DefaultsStore::setDate(const QString &key, const QDateTime &value)
{
    set(key, value);
}
void DefaultsStore::setArray(const QString &key, const QVariantList &value)
{
    set(key, value);
}

void DefaultsStore::setStringList(const QString &key, const QStringList &value)
{
    set(key, QVariantList(value.cbegin(), value.cend()));
}

void DefaultsStore::remove(const QString &key)
{
    set(key, QVariant());
}

void DefaultsStore::set(const QString &key, QVariant value)
{
    QMutexLocker lock(&m_mutex);
    if (value.isValid())
        m_values.insert(key, std::move(value));
    else
        m_values.remove(key);
    ++m_generation;
    if (m_persistent && m_generation == m_writtenGeneration + 1)
        m_writer.start([this] { writeSnapshot(); });
}

void DefaultsStore::writeSnapshot()
{
    QJsonObject object;
    quint64 generation = 0;
    {
        QMutexLocker lock(&m_mutex);
        if (m_generation == m_writtenGeneration)
            return;
        generation = m_generation;
        for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
            object.insert(it.key(), encode(it.value()));
    }

    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    QSaveFile file(m_filePath);
    // QSaveFile gives a new file the umask's mode and keeps an existing file's mode; neither is
    // private enough.
    const bool written = file.open(QIODevice::WriteOnly) && ::fchmod(file.handle(), PrivateMode) == 0 &&
                         file.write(QJsonDocument(object).toJson(QJsonDocument::Indented)) >= 0 && file.commit();
    if (!written)
        qCWarning(lcSettings, "settings could not be stored (%s): %s", qPrintable(m_filePath),
                  qPrintable(file.errorString()));

    QMutexLocker lock(&m_mutex);
    m_writtenGeneration = generation;
    // Sets that arrived while this write ran found a task in flight and scheduled none.
    if (m_generation != m_writtenGeneration)
        m_writer.start([this] { writeSnapshot(); });
}

void DefaultsStore::flush()
{
    m_writer.waitForDone();
}
