#pragma once

#include "enginefixture.h"
#include "store/objectstore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

/** Writes `content` to `path`, making its folders; returns `path`. */
inline QString touch(const QString &path, const QByteArray &content = "Rechnung Telekom vom 15.03.2024 49,99 EUR")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

inline QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

/** An engine with a fresh fixture and a real store, anew for each test function. */
struct EngineHarness {
    QTemporaryDir m_dir;
    std::unique_ptr<EngineFixture> m_fx;
    std::unique_ptr<ObjectStore> m_store;
    std::unique_ptr<RenameEngine> m_engine;

    [[nodiscard]] bool setUpEngine()
    {
        m_fx = std::make_unique<EngineFixture>();
        m_engine = m_fx->makeEngine();
        auto opened = ObjectStore::open(m_dir.filePath("db/namorix.sqlite"));
        if (!opened)
            return false;
        m_store = std::move(*opened);
        m_engine->setStore(m_store.get());
        return true;
    }

    void tearDownEngine()
    {
        m_engine.reset();
        m_store.reset();
        m_fx.reset();
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    /** Files "<prefix>00.txt", "<prefix>01.txt", … in the temporary folder, `content` and the name in each. */
    QList<QUrl> makeFiles(const QString &prefix, int count,
                          const QByteArray &content = "Rechnung Telekom vom 15.03.2024 49,99 EUR")
    {
        QList<QUrl> urls;
        for (int i = 0; i < count; ++i) {
            const QString name = prefix + QString::asprintf("%02d.txt", i);
            // Distinct bytes: the same content twice would be answered from the reply cache.
            urls << QUrl::fromLocalFile(touch(m_dir.filePath(name), content + ' ' + name.toUtf8()));
        }
        return urls;
    }

    void analyze(const QStringList &paths)
    {
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls << QUrl::fromLocalFile(path);
        awaitTask(m_engine->analyze(urls, std::nullopt));
        QVERIFY(!m_engine->isProcessing());
    }

    [[nodiscard]] QStringList jobNames() const
    {
        QStringList names;
        for (const RenameJob &job : m_engine->jobs())
            names << job.originalName();
        return names;
    }
};
