#include "automation/settletracker.h"

#include "automation/automationlog.h"

#include <QDateTime>
#include <QFile>
#include <QFuture>
#include <QtConcurrent>

#include <algorithm>

#include <sys/stat.h>

std::optional<FileStamp> regularFileStamp(const QString &path)
{
    struct stat info = {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileStamp{qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

SettleTracker::SettleTracker(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SettleTracker::checkDue);
}

void SettleTracker::note(int folder, const QString &path, Event event)
{
    QHash<QString, Entry> &files = m_files[folder];
    if (event == Event::gone) {
        files.remove(path);
        return;
    }
    Entry &entry = files[path];
    ++entry.generation; // a check already on its way no longer counts
    switch (event) {
    case Event::opened:
        ++entry.opens;
        break;
    case Event::closedUnwritten:
        // Opens from before the watch began close without having been counted.
        entry.opens = std::max(0, entry.opens - 1);
        break;
    case Event::modified:
        entry.writtenSinceClose = true;
        break;
    case Event::closedWritten:
        entry.opens = std::max(0, entry.opens - 1);
        [[fallthrough]];
    case Event::appeared:
    case Event::arrivedEarlier:
        entry.candidate = true;
        entry.arrivedEarlier = event == Event::arrivedEarlier;
        entry.writtenSinceClose = false;
        entry.noticedAtMs = QDateTime::currentMSecsSinceEpoch();
        entry.order = ++m_order;
        entry.stamp.reset();
        break;
    case Event::gone:
        break;
    }
    if (!entry.candidate) {
        if (entry.opens == 0)
            files.remove(path);
        return;
    }
    // The first check only takes the stamp (and judges freshness); the settle interval runs from it.
    const qint64 now = m_clock.elapsed();
    schedule(entry, entry.stamp ? now + m_interval : now);
}

void SettleTracker::forget(int folder)
{
    m_files.remove(folder);
}

void SettleTracker::schedule(Entry &entry, qint64 dueMs)
{
    entry.dueMs = dueMs;
    if (!m_checking && (m_timerDueMs < 0 || dueMs < m_timerDueMs)) {
        m_timerDueMs = dueMs;
        m_timer.start(int(std::max<qint64>(0, dueMs - m_clock.elapsed())));
    }
}

void SettleTracker::checkDue()
{
    m_timerDueMs = -1;
    if (m_checking)
        return;
    const qint64 now = m_clock.elapsed();
    QList<Probe> probes;
    for (auto folder = m_files.begin(); folder != m_files.end(); ++folder) {
        for (auto file = folder->begin(); file != folder->end(); ++file) {
            Entry &entry = file.value();
            if (entry.dueMs < 0 || entry.dueMs > now)
                continue;
            entry.dueMs = -1;
            // Still open or written since its close: the close to come schedules it again.
            if (entry.opens > 0 || entry.writtenSinceClose) {
                qCDebug(lcWatch, "held back %s: %s", qUtf8Printable(file.key()),
                        entry.opens > 0 ? "still open (being written)" : "written again since its last close");
                continue;
            }
            probes.append(Probe{folder.key(), file.key(), entry.generation, std::nullopt});
        }
    }
    if (probes.isEmpty()) {
        arm();
        return;
    }
    m_checking = true;
    QFuture<QList<Probe>> checked = QtConcurrent::run([probes]() mutable {
        for (Probe &probe : probes)
            probe.stamp = regularFileStamp(probe.path);
        return probes;
    });
    checked.then(this, [this](const QList<Probe> &results) {
        m_checking = false;
        takeResults(results);
        arm();
    });
}

void SettleTracker::takeResults(const QList<Probe> &probes)
{
    const qint64 now = m_clock.elapsed();
    QHash<int, QList<std::pair<quint64, QString>>> ready;
    for (const Probe &probe : probes) {
        auto folder = m_files.find(probe.folder);
        if (folder == m_files.end())
            continue;
        auto file = folder->find(probe.path);
        if (file == folder->end() || file->generation != probe.generation || !file->candidate)
            continue;
        Entry &entry = file.value();
        // Dropped: gone, not a regular file, empty (a placeholder a download will replace), or (on
        // the first check) modified too long before it was noticed.
        const bool fresh = probe.stamp && probe.stamp->size > 0 &&
                           (entry.stamp || entry.arrivedEarlier ||
                            entry.noticedAtMs - probe.stamp->modifiedNs / 1'000'000 < FreshnessWindowMs);
        if (!fresh) {
            qCDebug(lcWatch, "skipped %s: %s", qUtf8Printable(probe.path),
                    !probe.stamp             ? "gone or not a regular file"
                    : probe.stamp->size == 0 ? "empty (a placeholder)"
                                             : "last modified before the watch noticed it");
            folder->erase(file);
            continue;
        }
        if (entry.stamp == probe.stamp) {
            qCDebug(lcWatch, "settled %s: unchanged for %lld ms", qUtf8Printable(probe.path), m_interval);
            ready[probe.folder].append({entry.order, probe.path});
            folder->erase(file);
            continue;
        }
        if (entry.stamp)
            qCDebug(lcWatch, "held back %s: still changing (%lld bytes now), looked at again in %lld ms",
                    qUtf8Printable(probe.path), probe.stamp->size, m_interval);
        else
            qCDebug(lcWatch, "held back %s: settling, taken when unchanged for %lld ms", qUtf8Printable(probe.path),
                    m_interval);
        entry.stamp = probe.stamp;
        entry.dueMs = now + m_interval;
    }
    for (auto it = ready.begin(); it != ready.end(); ++it) {
        std::sort(it->begin(), it->end());
        QStringList paths;
        for (const auto &[order, path] : std::as_const(*it))
            paths.append(path);
        Q_EMIT settled(it.key(), paths);
    }
}

void SettleTracker::arm()
{
    if (m_checking)
        return;
    qint64 earliest = -1;
    for (const QHash<QString, Entry> &files : std::as_const(m_files)) {
        for (const Entry &entry : files) {
            if (entry.dueMs >= 0 && (earliest < 0 || entry.dueMs < earliest))
                earliest = entry.dueMs;
        }
    }
    m_timerDueMs = earliest;
    if (earliest < 0)
        m_timer.stop();
    else
        m_timer.start(int(std::max<qint64>(0, earliest - m_clock.elapsed())));
}
