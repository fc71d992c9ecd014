#include "engine/renamebatch.h"
#include "engine/undo.h"
#include "engineharness.h"

#include <sys/stat.h>

namespace {

constexpr int FileCount = 300;

QString original(const QString &folder, int i)
{
    return folder + QString("/f%1.txt").arg(i, 3, 10, QChar('0'));
}

void makeOriginals(const QString &folder, int count)
{
    for (int i = 0; i < count; ++i)
        touch(original(folder, i), "inhalt-" + QByteArray::number(i));
}

QMultiHash<QByteArray, QString> contents(const QString &folder)
{
    QMultiHash<QByteArray, QString> result;
    for (const QString &name : QDir(folder).entryList(QDir::Files))
        result.insert(contentOf(folder + '/' + name), name);
    return result;
}

void startChild(QProcess &child, const QStringList &arguments)
{
    child.start(APPLY_CHILD, arguments);
    QVERIFY(child.waitForStarted(10000));
    QVERIFY(child.waitForReadyRead(10000)); // "started"
}

/** Renames the files of `originals` to "neu-N.txt" in one batch; its records in order. */
QList<RenameRecord> applyBatch(ObjectStore &store, const QStringList &originals)
{
    QList<RenameJob> jobs;
    QList<qsizetype> selected;
    for (const QString &path : originals) {
        RenameJob job = RenameJob::failed(path, QString());
        job.suggestedName = QString("neu-%1.txt").arg(jobs.size());
        job.confidence = 0.9;
        job.approved = true;
        selected << jobs.size();
        jobs << job;
    }
    return RenameBatch::run(&store, jobs, selected, "Claude").records;
}

/** The kill points' source, logged; CRASH_SEED=n repeats them (the moments still depend on the machine). */
QRandomGenerator seededRandom()
{
    quint32 seed = qEnvironmentVariable("CRASH_SEED", QString::number(QRandomGenerator::global()->generate())).toUInt();
    qInfo("CRASH_SEED=%u", seed);
    return QRandomGenerator(seed);
}

/**
 * Runs the child with `arguments`: run 0 to its end, its time kept in `fullRunMs`; a later run is killed once
 * `reached` holds if `watched`, else at a random moment of run 0's time.
 */
void runOrKill(const QStringList &arguments, int run, bool watched, const std::function<bool()> &reached,
               QRandomGenerator &random, qint64 &fullRunMs)
{
    QProcess child;
    startChild(child, arguments);
    QElapsedTimer timer;
    timer.start();
    if (run == 0) {
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        fullRunMs = std::max<qint64>(timer.elapsed(), 20);
        return;
    }
    if (watched) {
        while (!reached() && timer.elapsed() < 10000)
            ; // busy: a sleep would oversleep the moves
    } else {
        QTest::qWait(int(random.bounded(fullRunMs)));
    }
    child.kill(); // SIGKILL: no cleanup of any kind
    if (child.state() != QProcess::NotRunning)
        QVERIFY(child.waitForFinished(10000));
}

} // namespace

class TestCrashSafety final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedMidApplyLosesNothing();
    void racingCreatorIsNeverOverwritten();
    void killedMidUndoLeavesTheHistoryTrue();
    void interruptedUndoIsSettledByTheFiles_data();
    void interruptedUndoIsSettledByTheFiles();
    void undoRefusesAFileRewrittenInPlace();
};

void TestCrashSafety::killedMidApplyLosesNothing()
{
    // A batch's moves take a few milliseconds between its two history writes: every third run is
    // killed at a random moment of the whole apply, the others in the middle of the moves.
    QRandomGenerator random = seededRandom();
    qint64 fullRunMs = 0;
    int interrupted = 0; // runs killed with some but not all files renamed
    for (int run = 0; run <= 20; ++run) {
        QTemporaryDir dir;
        const QString folder = dir.filePath("files");
        makeOriginals(folder, FileCount);
        const QMultiHash<QByteArray, QString> before = contents(folder);
        const QString database = dir.filePath("namorix.sqlite");

        // Files move in name order: watched runs are killed once a random one among the first half has moved.
        const QString watched = original(folder, int(random.bounded(FileCount / 2)));
        runOrKill(
            {"apply", folder, database}, run, run % 3 != 0, [&] { return !QFile::exists(watched); }, random, fullRunMs);

        auto store = ObjectStore::open(database);
        QVERIFY2(store, store ? "" : qPrintable(store.error().message()));
        QVERIFY(Undo::settleInterruptedRenames(**store));
        const auto history = (*store)->fetchRecords();
        QVERIFY(history);

        // No content lost or doubled: the folder holds exactly the files it held before.
        const QMultiHash<QByteArray, QString> after = contents(folder);
        QCOMPARE(after.size(), before.size());
        QCOMPARE(QSet<QByteArray>(after.keyBegin(), after.keyEnd()),
                 QSet<QByteArray>(before.keyBegin(), before.keyEnd()));

        // Every file is either under its old name with no record, or under its new name with one.
        QHash<QString, int> recordsPerOriginal;
        for (const RenameRecord &record : *history) {
            QVERIFY(!record.reverted);
            ++recordsPerOriginal[record.originalPath];
            QVERIFY2(QFile::exists(record.newPath), qPrintable(record.newPath));
            QVERIFY(!QFile::exists(record.originalPath));
            QCOMPARE(contentOf(record.newPath), before.key(QFileInfo(record.originalPath).fileName()));
            QCOMPARE(record.identity, FileChecks::identity(record.newPath)); // what revert will insist on
        }
        for (int i = 0; i < FileCount; ++i) {
            const int records = recordsPerOriginal.value(original(folder, i));
            QVERIFY2(QFile::exists(original(folder, i)) ? records == 0 : records == 1, qPrintable(original(folder, i)));
        }
        if (run == 0)
            QCOMPARE(history->size(), FileCount);
        else if (!history->isEmpty() && history->size() < FileCount)
            ++interrupted;
    }
    // A loaded machine may finish some runs before the kill.
    QVERIFY2(interrupted >= 3, qPrintable(QString("%1 of 20 runs killed mid-apply").arg(interrupted)));
}

void TestCrashSafety::racingCreatorIsNeverOverwritten()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("files");
    makeOriginals(folder, 90);

    QProcess racer;
    startChild(racer, {"race", folder, "Dokument.txt"});
    QProcess applier;
    startChild(applier, {"apply", folder, dir.filePath("namorix.sqlite")});
    QVERIFY(applier.waitForFinished(60000));
    racer.kill();
    QVERIFY(racer.waitForFinished(10000));

    // Every original content is still there exactly once; everything else is the racer's.
    const QMultiHash<QByteArray, QString> after = contents(folder);
    for (int i = 0; i < 90; ++i)
        QCOMPARE(after.count("inhalt-" + QByteArray::number(i)), 1);
    QCOMPARE(after.size() - after.count("racer"), 90);
}

void TestCrashSafety::killedMidUndoLeavesTheHistoryTrue()
{
    // Undo marks the batch, moves the files back newest first, then writes the outcome: every
    // other run is killed once a random file of the first half back is back (so that half remains on
    // a busy machine too), the others at a random moment of the whole undo. Run 0 times it.
    constexpr int UndoFiles = 1000;
    QRandomGenerator random = seededRandom();
    qint64 fullRunMs = 0;
    int interrupted = 0; // runs killed with some but not all files back
    for (int run = 0; run <= 8; ++run) {
        QTemporaryDir dir;
        const QString folder = dir.filePath("files");
        makeOriginals(folder, UndoFiles);
        const QMultiHash<QByteArray, QString> before = contents(folder);
        const QString database = dir.filePath("namorix.sqlite");
        QStringList originals;
        for (int i = 0; i < UndoFiles; ++i)
            originals << original(folder, i);
        {
            auto store = ObjectStore::open(database);
            QVERIFY(store);
            QCOMPARE(applyBatch(**store, originals).size(), UndoFiles);
        }

        const QString watched = original(folder, UndoFiles / 2 + int(random.bounded(UndoFiles / 2)));
        runOrKill(
            {"undo", database}, run, run % 2 != 0, [&] { return QFile::exists(watched); }, random, fullRunMs);

        auto store = ObjectStore::open(database);
        QVERIFY(store);
        const auto settled = Undo::settleInterruptedRenames(**store);
        QVERIFY(settled);
        const auto history = (*store)->fetchRecords();
        QVERIFY(history);
        QCOMPARE(history->size(), UndoFiles);

        // Every content exactly once; the history says "reverted" exactly of the files at their old names.
        const QMultiHash<QByteArray, QString> after = contents(folder);
        QCOMPARE(after.size(), before.size());
        QCOMPARE(QSet<QByteArray>(after.keyBegin(), after.keyEnd()),
                 QSet<QByteArray>(before.keyBegin(), before.keyEnd()));
        int reverted = 0;
        for (const RenameRecord &record : *history) {
            const QString where = record.reverted ? record.originalPath : record.newPath;
            QVERIFY2(QFile::exists(where), qPrintable(where));
            QVERIFY(!QFile::exists(record.reverted ? record.newPath : record.originalPath));
            QCOMPARE(contentOf(where), before.key(QFileInfo(record.originalPath).fileName()));
            reverted += record.reverted;
        }
        if (run != 0 && reverted > 0 && reverted < UndoFiles)
            ++interrupted;
        // Nothing is left marked for the next start.
        const auto again = Undo::settleInterruptedRenames(**store);
        QCOMPARE(again->reverted + again->notReverted, 0);

        // Undoing the batch again finishes the rest, without a single refusal.
        const auto rest = Undo::revertBatch(store->get(), history->first().batch);
        QVERIFY(rest);
        QCOMPARE(rest->failures.size(), 0);
        QCOMPARE(rest->reverted, UndoFiles - reverted);
        QCOMPARE((*store)->countRecords({})->notReverted, 0);
        QCOMPARE(contents(folder), before);
    }
    qInfo("%d of 8 runs killed mid-undo", interrupted);
    QVERIFY(interrupted >= 3); // a loaded machine may finish some runs before the kill
}

void TestCrashSafety::interruptedUndoIsSettledByTheFiles_data()
{
    QTest::addColumn<QString>("found");
    QTest::addColumn<bool>("identified"); // false: a record of a version that kept no identity
    QTest::addColumn<bool>("reverted");
    for (const bool identified : {true, false}) {
        const char *kind = identified ? "" : ", no identity";
        QTest::addRow("moved back%s", kind) << "back" << identified << true;
        QTest::addRow("not moved yet%s", kind) << "renamed" << identified << false;
        QTest::addRow("gone%s", kind) << "gone" << identified << false;
        QTest::addRow("another file at the old name%s", kind) << "other" << identified << false;
    }
}

void TestCrashSafety::interruptedUndoIsSettledByTheFiles()
{
    QFETCH(QString, found);
    QFETCH(bool, identified);
    QFETCH(bool, reverted);
    QTemporaryDir dir;
    const QString file = touch(dir.filePath("scan.pdf"), "alt");
    auto store = ObjectStore::open(dir.filePath("namorix.sqlite"));
    QVERIFY(store);
    RenameRecord record = applyBatch(**store, {file}).value(0);
    if (!identified) {
        record.identity.reset();
        record.changedAt.reset();
        QVERIFY((*store)->save(record));
    }
    // Killed after the mark: the file may or may not have gone back.
    QCOMPARE((*store)->beginRevert({record.id}).value(), QSet<qint64>{record.id});
    if (found == "back")
        QVERIFY(QFile::rename(record.newPath, file));
    else if (found == "gone")
        QVERIFY(QFile::remove(record.newPath));
    else if (found == "other")
        touch(file, "andere");

    const auto settled = Undo::settleInterruptedRenames(**store);
    QCOMPARE(settled->reverted, int(reverted));
    QCOMPARE(settled->notReverted, int(!reverted));
    const RenameRecord stored = (*store)->fetchRecord(record.id).value();
    QCOMPARE(stored.reverted, reverted);
    QCOMPARE(bool(stored.revertedAt), reverted);
    QCOMPARE(Undo::settleInterruptedRenames(**store)->notReverted, 0); // the mark is gone
}

// Same inode, size and modification time: only the ctime tells. (An untouched file goes back in
// the undo runs above, whose records come from the store too.)
void TestCrashSafety::undoRefusesAFileRewrittenInPlace()
{
    QTemporaryDir dir;
    const QString file = touch(dir.filePath("scan.pdf"), "alt");
    auto store = ObjectStore::open(dir.filePath("namorix.sqlite"));
    QVERIFY(store);
    const qint64 id = applyBatch(**store, {file}).value(0).id;
    RenameRecord record = (*store)->fetchRecord(id).value(); // as stored: the ctime too
    const QString renamed = record.newPath;
    QTest::qWait(20); // the kernel stamps ctime from a clock that ticks every few milliseconds
    struct stat info = {};
    QCOMPARE(::stat(qPrintable(renamed), &info), 0);
    QFile rewrite(renamed);
    QVERIFY(rewrite.open(QIODevice::ReadWrite) && rewrite.write("neu") == 3);
    rewrite.close();
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, qPrintable(renamed), times, 0), 0);
    QCOMPARE(FileChecks::identity(renamed), record.identity);

    const auto reverted = Undo::revert(store->get(), record);
    QVERIFY(!reverted);
    QCOMPARE(reverted.error().code(), NamorixError::Code::otherFileAtName);
    QVERIFY(!(*store)->fetchRecord(id)->reverted);
    QCOMPARE(contentOf(renamed), "neu");
    QVERIFY(!QFile::exists(file));
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
