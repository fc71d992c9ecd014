#include "engine/undo.h"
#include "engineharness.h"

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

} // namespace

class TestCrashSafety final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedMidApplyLosesNothing();
    void racingCreatorIsNeverOverwritten();
};

void TestCrashSafety::killedMidApplyLosesNothing()
{
    // A batch's moves take a few milliseconds between its two history writes: every third run is
    // killed at a random moment of the whole apply, the others in the middle of the moves.
    qint64 fullRunMs = 0;
    int interrupted = 0; // runs killed with some but not all files renamed
    for (int run = 0; run <= 20; ++run) {
        QTemporaryDir dir;
        const QString folder = dir.filePath("files");
        makeOriginals(folder, FileCount);
        const QMultiHash<QByteArray, QString> before = contents(folder);
        const QString database = dir.filePath("namorix.sqlite");

        QProcess child;
        startChild(child, {"apply", folder, database});
        QElapsedTimer timer;
        timer.start();
        if (run == 0) {
            QVERIFY(child.waitForFinished(60000));
            QCOMPARE(child.exitCode(), 0);
            fullRunMs = std::max<qint64>(timer.elapsed(), 20);
        } else {
            if (run % 3 != 0) {
                // Files move in name order: kill once a random one among the first half has moved.
                const QString watched = original(folder, int(QRandomGenerator::global()->bounded(FileCount / 2)));
                while (QFile::exists(watched) && timer.elapsed() < 10000)
                    ; // busy: a sleep would oversleep the moves
            } else {
                QTest::qWait(int(QRandomGenerator::global()->bounded(fullRunMs)));
            }
            child.kill(); // SIGKILL: no cleanup of any kind
            if (child.state() != QProcess::NotRunning)
                QVERIFY(child.waitForFinished(10000));
        }

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

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
