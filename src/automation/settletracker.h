#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <optional>

/** Size and modification time of a regular file, to see whether it changed. */
struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

/** The stamp of `path` when it is a regular file (`lstat`: a symbolic link is not followed). */
[[nodiscard]] std::optional<FileStamp> regularFileStamp(const QString &path);

/**
 * Decides when a new file in a watched folder is finished. A file becomes a candidate when it
 * is closed after writing or appears (moved in, or found by a rescan) and its modification time
 * is within the freshness window of that moment; an empty file never is. It settles when no
 * process holds it open (the open and close events balance), it was not written since, and its
 * size and modification time stayed the same for the settle interval; any event for it starts
 * that interval again. Settled files are reported per folder, in the order they became
 * candidates.
 *
 * File checks run on a worker, one batch at a time; the state lives on the owner's thread.
 */
class SettleTracker final : public QObject
{
    Q_OBJECT

public:
    /** `arrivedEarlier`: found by a catch-up scan; a candidate however old its modification time. */
    enum class Event { opened, closedUnwritten, modified, closedWritten, appeared, arrivedEarlier, gone };
    static constexpr qint64 FreshnessWindowMs = 5000;

    explicit SettleTracker(QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(SettleTracker)

    void setInterval(std::chrono::milliseconds interval) { m_interval = interval.count(); }
    [[nodiscard]] std::chrono::milliseconds interval() const { return std::chrono::milliseconds(m_interval); }

    /** Takes one event for the file `path` of the folder `folder` (an id the owner chooses). */
    void note(int folder, const QString &path, Event event);
    /** Drops everything known about the files of `folder`. */
    void forget(int folder);

Q_SIGNALS:
    void settled(int folder, const QStringList &paths);

private:
    struct Entry {
        int opens = 0;
        bool candidate = false;
        bool writtenSinceClose = false;
        bool arrivedEarlier = false; ///< exempt from the freshness rule
        qint64 noticedAtMs = 0;      ///< wall clock, for freshness
        quint64 order = 0;
        std::optional<FileStamp> stamp;
        qint64 dueMs = -1; ///< monotonic; -1: nothing to check
        quint64 generation = 0;
    };
    struct Probe {
        int folder;
        QString path;
        quint64 generation;
        std::optional<FileStamp> stamp;
    };

    void schedule(Entry &entry, qint64 dueMs);
    void checkDue();
    void takeResults(const QList<Probe> &probes);
    void arm();

    QHash<int, QHash<QString, Entry>> m_files;
    qint64 m_interval = 2000;
    quint64 m_order = 0;
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_timerDueMs = -1;
    bool m_checking = false;
};
