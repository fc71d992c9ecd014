#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QVariant>

#include <optional>

/**
 * The user-defaults store: typed values (bool, integer, string, array, bytes, date) under
 * dotted keys, kept in one JSON file under the XDG config location. The file holds tokens, so it
 * is readable only by its owner (mode 0600): every write sets that mode, and loading narrows a
 * file found wider.
 *
 * Every set updates memory at once and schedules an atomic rewrite of the whole file
 * (QSaveFile) on a private writer thread, so the GUI thread never waits for the disk; writes
 * are ordered and coalesced, and flush() (also run by the destructor) waits for the last one.
 * An absent key is distinct from a stored false or 0. Safe to use from any thread.
 *
 * A file that cannot be parsed is moved aside (to "<name>.corrupt-<timestamp>") and the store
 * starts empty, so the application runs on defaults; if it cannot be moved aside, the store
 * keeps it untouched and runs in memory only. Either way loadProblem() says what happened.
 */
class DefaultsStore final
{
public:
    /** A store in memory only: nothing is read or written (for tests). */
    DefaultsStore();
    /** A store backed by the JSON file at `filePath`, loaded now. */
    explicit DefaultsStore(const QString &filePath);
    ~DefaultsStore();
    Q_DISABLE_COPY_MOVE(DefaultsStore)

    /** The process-wide store at `$XDG_CONFIG_HOME/namorix/settings.json`. */
    static DefaultsStore &standard();
    static QString standardFilePath();

    [[nodiscard]] bool contains(const QString &key) const;

    /** Absent reads as false; numbers read as "not zero"; strings "true"/"yes"/"1" as true. */
    [[nodiscard]] bool boolValue(const QString &key) const;
    /** Absent or not numeric reads as 0; a string holding an integer reads as that integer. */
    [[nodiscard]] qint64 integerValue(const QString &key) const;
    [[nodiscard]] std::optional<QString> stringValue(const QString &key) const;
    /** Elements keep their stored types (an array may mix strings and numbers). */
    [[nodiscard]] std::optional<QVariantList> arrayValue(const QString &key) const;
    [[nodiscard]] std::optional<QByteArray> bytesValue(const QString &key) const;
    [[nodiscard]] std::optional<QDateTime> dateValue(const QString &key) const;

    void setBool(const QString &key, bool value);
    void setInteger(const QString &key, qint64 value);
    void setString(const QString &key, const QString &value);
    void setStringList(const QString &key, const QStringList &value);
    /** Any JSON-representable list; used to store what a hand-edited file could hold. */
    void setArray(const QString &key, const QVariantList &value);
    void setBytes(const QString &key, const QByteArray &value);
    void setDate(const QString &key, const QDateTime &value);
    void remove(const QString &key);

    /** Waits until everything set so far is on disk. */
    void flush();

    [[nodiscard]] QString filePath() const { return m_filePath; }
    /** A German description of a load problem (corrupt or unreadable file), else empty. */
    [[nodiscard]] QString loadProblem() const;

private:
    void load();
    void set(const QString &key, QVariant value);
    template <typename T> std::optional<T> valueOfType(const QString &key) const;
    void scheduleWrite();
    void writeSnapshot();

    const QString m_filePath;
    bool m_persistent = false;
    mutable QMutex m_mutex;
    QHash<QString, QVariant> m_values;
    quint64 m_generation = 0;
    quint64 m_writtenGeneration = 0;
    /** What loadProblem() says: the string table's id, with the file and the reason for its "%1" and "%2". */
    struct {
        const char *id = nullptr;
        QString path;
        QString detail;
    } m_loadProblem;
    QThreadPool m_writer;
};
