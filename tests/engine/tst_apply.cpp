#include "engine/filemoves.h"
#include "enginefixture.h"
#include "store/objectstore.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

QString touch(const QString &path, const QByteArray &content = "Inhalt")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

RenameJob job(const QString &path, const QString &name, bool approved = true)
{
    RenameJob j;
    j.originalURL = QUrl::fromLocalFile(path);
    j.suggestedName = name;
    j.confidence = 0.8;
    j.approved = approved;
    return j;
}

RenameRecord record(const QString &original, const QString &renamed, const QDateTime &when, bool reverted = false)
{
    RenameRecord r;
    r.originalPath = original;
    r.newPath = renamed;
    r.originalName = QFileInfo(original).fileName();
    r.newName = QFileInfo(renamed).fileName();
    r.timestamp = when;
    r.providerUsed = "OpenAI";
    r.confidence = 0.9;
    r.reverted = reverted;
    return r;
}

} // namespace

class TestApply final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void freeNamesNeverOverwrite();
    void allNumberedNamesTaken();
    void skippedAndRefusedJobs();
    void noStoreNoRename();
    void datesAndProviderAreKept();
    void moveNeverReplaces();
    void revert();
    void revertLast();
    void historyFiltersAnalysis();
    void interruptedRenamesAreSettled();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QList<RenameRecord> apply(const QList<RenameJob> &jobs);

    QTemporaryDir m_dir;
    std::unique_ptr<EngineFixture> m_fx;
    LlmStub *m_llm = nullptr;
    AISettings *m_settings = nullptr;
    std::unique_ptr<ObjectStore> m_store;
    std::unique_ptr<RenameEngine> m_engine;
};

void TestApply::init()
{
    m_fx = std::make_unique<EngineFixture>();
    m_llm = &m_fx->llm;
    m_settings = &m_fx->settings;
    auto opened = ObjectStore::open(m_dir.filePath("db/namorix.sqlite"));
    QVERIFY(opened);
    m_store = std::move(*opened);
    m_engine = m_fx->makeEngine();
    m_engine->setStore(m_store.get());
    QDir().mkpath(m_dir.filePath("files"));
}

void TestApply::cleanup()
{
    m_engine.reset();
    m_store.reset();
    m_fx.reset();
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
}

QList<RenameRecord> TestApply::apply(const QList<RenameJob> &jobs)
{
    m_engine->setJobs(jobs);
    const QList<RenameRecord> records = m_engine->applyApproved();
    [&] { QVERIFY(m_engine->jobs().isEmpty()); }();
    return records;
}

void TestApply::freeNamesNeverOverwrite()
{
    const QString a = touch(path("files/a.pdf"), "A");
    const QString b = touch(path("files/b.pdf"), "B");
    const QString c = touch(path("files/c"), "C");
    touch(path("files/Rechnung.pdf"), "old");
    touch(path("files/Notiz"), "old note");

    const QList<RenameRecord> records =
        apply({job(a, "Rechnung.pdf"), job(b, "Rechnung.pdf"), job(c, "Notiz")});
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(0).newName, QString("Rechnung-2.pdf"));
    QCOMPARE(records.at(1).newName, QString("Rechnung-3.pdf"));
    QCOMPARE(records.at(2).newName, QString("Notiz-2."));
    QCOMPARE(contentOf(path("files/Rechnung.pdf")), QByteArray("old"));
    QCOMPARE(contentOf(path("files/Rechnung-2.pdf")), QByteArray("A"));
    QCOMPARE(contentOf(path("files/Rechnung-3.pdf")), QByteArray("B"));
    QCOMPARE(m_store->fetchRecords()->size(), 3);
    QCOMPARE(m_engine->error(), std::nullopt);
}

void TestApply::allNumberedNamesTaken()
{
    touch(path("files/X.txt"));
    for (int n = 2; n < 100; ++n)
        touch(path(QString("files/X-%1.txt").arg(n)));
    const QString source = touch(path("files/quelle.txt"), "neu");
    const QList<RenameRecord> records = apply({job(source, "X.txt")});
    QCOMPARE(records.size(), 1);
    QVERIFY2(QRegularExpression("^X-[0-9A-F]{6}\\.txt$").match(records.first().newName).hasMatch(),
             qPrintable(records.first().newName));
    QCOMPARE(contentOf(records.first().newPath), QByteArray("neu"));
}

void TestApply::skippedAndRefusedJobs()
{
    const QString same = touch(path("files/gleich.txt"));
    const QString unapproved = touch(path("files/nein.txt"));
    const QString sneaky = touch(path("files/boese.txt"), "bleibt");
    const QString gone = path("files/weg.txt");

    const QList<RenameRecord> records = apply({job(same, "gleich.txt"), job(unapproved, "ja.txt", false),
                                               job(sneaky, "../ausbruch.txt"), job(sneaky, ".."),
                                               job(sneaky, QString("a") + QChar(0) + "b")});
    QVERIFY(records.isEmpty());
    QCOMPARE(m_engine->error(), QString("Ungültiger Dateiname: a") + QChar(0) + "b");
    QCOMPARE(contentOf(sneaky), QByteArray("bleibt"));
    QVERIFY(!QFile::exists(path("ausbruch.txt")));
    QVERIFY(QFile::exists(unapproved));

    apply({job(gone, "da.txt")});
    QCOMPARE(m_engine->error(), QString("weg.txt nicht gefunden"));
    QVERIFY(m_store->fetchRecords()->isEmpty());
}

void TestApply::noStoreNoRename()
{
    const QString file = touch(path("files/a.txt"));
    m_engine->setStore(nullptr);
    QVERIFY(apply({job(file, "b.txt")}).isEmpty());
    QVERIFY(QFile::exists(file));
    QVERIFY(m_engine->error().has_value());
}

void TestApply::datesAndProviderAreKept()
{
    const QString file = touch(path("files/alt.txt"));
    const struct timespec times[2] = {{1600000000, 123456789}, {1500000000, 987654321}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
    const auto before = FileMoves::modificationTime(file);

    m_settings->setProvider(AIProviderType::gemini); // switched between analysis and applying
    const QList<RenameRecord> records = apply({job(file, "neu.txt")});
    QCOMPARE(records.size(), 1);
    const auto after = FileMoves::modificationTime(path("files/neu.txt"));
    QVERIFY(before && after);
    QCOMPARE(after->seconds, 1500000000);
    QCOMPARE(after->nanoseconds, 987654321);
    QCOMPARE(records.first().providerUsed, QString("Gemini"));
    QCOMPARE(records.first().originalPath, file);
    QCOMPARE(records.first().confidence, 0.8);
    QVERIFY(!records.first().reverted);
}

void TestApply::moveNeverReplaces()
{
    const QString source = touch(path("files/quelle.txt"), "Q");
    const QString target = touch(path("files/ziel.txt"), "Z");
    const auto moved = FileMoves::moveNoReplace(source, target);
    QVERIFY(!moved);
    QCOMPARE(moved.error(), QString("Eine Datei mit diesem Namen existiert bereits"));
    QCOMPARE(contentOf(source), QByteArray("Q"));
    QCOMPARE(contentOf(target), QByteArray("Z"));
}

void TestApply::revert()
{
    const QString file = touch(path("files/scan.pdf"), "S");
    QList<RenameRecord> records = apply({job(file, "rechnung.pdf")});
    RenameRecord renamed = records.first();

    // The former name is taken meanwhile: nothing moves, the record stays as it was.
    touch(file, "Neue Datei");
    const auto blocked = m_engine->revert(renamed);
    QVERIFY(!blocked);
    QCOMPARE(contentOf(file), QByteArray("Neue Datei"));
    QCOMPARE(contentOf(path("files/rechnung.pdf")), QByteArray("S"));
    QVERIFY(!renamed.reverted);

    QFile::remove(file);
    QVERIFY(m_engine->revert(renamed));
    QCOMPARE(contentOf(file), QByteArray("S"));
    QVERIFY(renamed.reverted && renamed.revertedAt);
    QVERIFY(m_store->fetchRecords()->first().reverted);

    // The renamed file is gone: "Datei nicht gefunden" with its new name.
    const QString other = touch(path("files/b.txt"));
    RenameRecord second = apply({job(other, "c.txt")}).first();
    QFile::remove(path("files/c.txt"));
    const auto missing = m_engine->revert(second);
    QCOMPARE(missing.error().message(), QString("Datei nicht gefunden: c.txt"));
    QVERIFY(!second.reverted);
}

void TestApply::revertLast()
{
    m_engine->revertLast(); // empty history: nothing happens
    touch(path("files/neu1.txt"), "1");
    touch(path("files/neu2.txt"), "2");
    QVERIFY(m_store->insert(record(path("files/alt1.txt"), path("files/neu1.txt"), QDateTime::currentDateTimeUtc().addSecs(-60))));
    QVERIFY(m_store->insert(record(path("files/alt2.txt"), path("files/neu2.txt"), QDateTime::currentDateTimeUtc())));
    m_engine->revertLast();
    QCOMPARE(contentOf(path("files/alt2.txt")), QByteArray("2"));
    QVERIFY(QFile::exists(path("files/neu1.txt")));
    m_engine->revertLast();
    QCOMPARE(contentOf(path("files/alt1.txt")), QByteArray("1"));
    m_engine->revertLast(); // all reverted: nothing happens
}

void TestApply::historyFiltersAnalysis()
{
    QStringList files;
    for (const char *name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt"})
        files << touch(path(QString("files/") + name));
    const QDateTime when = QDateTime::currentDateTimeUtc();
    QVERIFY(m_store->insert(record(path("files/alt.txt"), files.at(0), when)));
    QVERIFY(m_store->insert(record(files.at(1), path("files/x.txt"), when, true))); // reverted: no longer blocks
    QList<QUrl> urls;
    for (const QString &file : files)
        urls << QUrl::fromLocalFile(file);

    m_llm->setFailure("c.txt", 500);
    m_llm->setFailure("d.txt", 500);
    awaitTask(m_engine->analyze(urls, std::nullopt));
    QCOMPARE(m_engine->totalCount(), 5);
    QCOMPARE(m_engine->skippedDuplicates(), 1);
    QCOMPARE(m_engine->error(), QString("2 von 5 fehlgeschlagen. 1 übersprungen (bereits in History)"));

    QVERIFY(m_store->insert(record(path("files/alt2.txt"), files.at(1), when)));
    awaitTask(m_engine->analyze({urls.at(0), urls.at(1)}, std::nullopt));
    QCOMPARE(m_engine->error(), QString("2 Dateien übersprungen (bereits umbenannt)"));
    QVERIFY(m_engine->jobs().isEmpty());
}

void TestApply::interruptedRenamesAreSettled()
{
    // A crash between the history write and the move, and one between the move and the confirmation.
    const QString notMoved = touch(path("files/nicht.txt"));
    const QString moved = touch(path("files/schon-neu.txt"));
    const auto first = m_store->insertPending(record(notMoved, path("files/nie.txt"), QDateTime::currentDateTimeUtc()));
    const auto second = m_store->insertPending(record(path("files/schon.txt"), moved, QDateTime::currentDateTimeUtc()));
    QVERIFY(first && second);
    QVERIFY(m_store->fetchRecords()->isEmpty()); // half-done renames are no history yet

    const auto settled = RenameEngine::settleInterruptedRenames(*m_store);
    QVERIFY(settled);
    const QList<RenameRecord> history = *m_store->fetchRecords();
    QCOMPARE(history.size(), 1);
    QCOMPARE(history.first().newPath, moved);
}

QTEST_GUILESS_MAIN(TestApply)
#include "tst_apply.moc"
