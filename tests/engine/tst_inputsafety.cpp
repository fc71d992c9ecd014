#include "engine/filemoves.h"
#include "engine/inputexpansion.h"
#include "engineharness.h"

#include <QtConcurrent>

#include <sys/sysmacros.h>

namespace {

/** A socket file at `path`, listened on until the test ends. */
bool makeSocket(const QString &path)
{
    return (new QLocalServer(QCoreApplication::instance()))->listen(path);
}

/** Type, device number and link target: what must not change when a path is refused. */
QString identity(const QString &path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return "<missing>";
    return QString("%1 %2:%3 %4")
        .arg(info.st_mode & S_IFMT, 0, 8)
        .arg(major(info.st_rdev))
        .arg(minor(info.st_rdev))
        .arg(QFileInfo(path).symLinkTarget());
}

} // namespace

/** Only regular files outside the system areas are analysed or renamed, named or found in a folder. */
class TestInputSafety final : public QObject, EngineHarness
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(setUpEngine()); }
    void cleanup() { tearDownEngine(); }

    void namedPathsThatAreNoRegularFile_data()
    {
        QTest::addColumn<QString>("path"); // relative: made in the temporary folder
        QTest::addColumn<QString>("kind");
        const auto row = [](const char *name, const char *path, const char *kind) {
            QTest::newRow(name) << QString(path) << QString(kind);
        };
        row("FIFO", "fifo", "FIFO");
        row("socket", "sock", "Socket");
        row("device", "/dev/null", "Gerätedatei");
        row("link to a file", "verweis.txt", "symbolischer Link");
        row("link to a folder", "ordnerverweis", "symbolischer Link");
        row("file of /proc", "/proc/cpuinfo", "Systemdatei");
    }

    void namedPathsThatAreNoRegularFile()
    {
        QFETCH(QString, path);
        QFETCH(QString, kind);
        const QString reason = QString("Keine reguläre Datei: %1 (%2)").arg(QFileInfo(path).fileName(), kind);
        if (QDir::isRelativePath(path))
            path = m_dir.filePath(path);
        QVERIFY(path == "/dev/null" || path.startsWith("/proc/") || make(path));

        analyze({path});
        QCOMPARE(m_engine->jobs().size(), 1);
        QCOMPARE(m_engine->jobs().first().failureReason, reason);
        QVERIFY(m_engine->jobs().first().hasFailed());
        QVERIFY(m_fx->llm.server().requests().isEmpty());

        // A job handed over directly (REST API, queue) is refused before anything is stored or moved.
        // The system's /dev/null is only read: its renaming is tried on a device node of our own.
        if (path == "/dev/null") {
            QCOMPARE(identity(path), "20000 1:3 "); // still the character device 1:3
            path = m_dir.filePath("null");
            if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                QSKIP("creating a device node needs root");
        }
        const QString before = identity(path);
        RenameJob job;
        job.originalURL = QUrl::fromLocalFile(path);
        job.suggestedName = "umbenannt.txt";
        m_engine->setJobs({job});
        QVERIFY(awaitTask(m_engine->applyApproved()).isEmpty());
        QCOMPARE(m_engine->lastApplyFailures().size(), 1);
        QCOMPARE(m_engine->lastApplyFailures().first().reason, reason);
        QVERIFY(m_store->fetchRecords()->isEmpty());
        QCOMPARE(identity(path), before);
        QVERIFY(!FileMoves::nameTaken(QFileInfo(path).dir().filePath("umbenannt.txt")));
    }

    void aRunOfRefusedPathsOnlyEnds()
    {
        // Refusals finish without waiting, so all four lanes end before the last one is started.
        const QString fifo = m_dir.filePath("fifo"), sock = m_dir.filePath("sock");
        const QString dangling = m_dir.filePath("tot.txt"), loop = m_dir.filePath("schleife");
        QVERIFY(make(fifo) && make(sock));
        QVERIFY(QFile::link(m_dir.filePath("fehlt.txt"), dangling) && QFile::link(loop, loop));
        analyze({fifo, sock, "/dev/null", "/dev/zero", dangling, loop});
        QCOMPARE(jobNames(), (QStringList{"fifo", "sock", "null", "zero", "tot.txt", "schleife"}));
        QCOMPARE(m_engine->jobs().at(5).failureReason, "Keine reguläre Datei: schleife (symbolischer Link)");
        QCOMPARE(m_engine->error(), "6 von 6 fehlgeschlagen");
    }

    void folderWalkTakesRegularFilesOnly()
    {
        const QString root = m_dir.filePath("eingang");
        const QString a = touch(root + "/a.txt", "a"), b = touch(root + "/unter/b.txt", "b");
        const QString outside = touch(m_dir.filePath("draussen.txt"));
        touch(m_dir.filePath("anderswo/c.txt"));
        QVERIFY(::mkfifo(QFile::encodeName(root + "/fifo").constData(), 0600) == 0);
        QVERIFY(makeSocket(root + "/sock"));
        const QStringList links{"verweis.txt", "unter/ordnerverweis", "proc", "dev", "tot.txt"};
        QVERIFY(QFile::link(outside, root + "/verweis.txt"));
        QVERIFY(QFile::link(m_dir.filePath("anderswo"), root + "/unter/ordnerverweis"));
        QVERIFY(QFile::link("/proc", root + "/proc"));
        QVERIFY(QFile::link("/dev", root + "/dev"));
        QVERIFY(QFile::link(m_dir.filePath("fehlt.txt"), root + "/tot.txt"));
        const auto identities = [&] {
            QStringList result;
            for (const QString &link : links)
                result << identity(root + "/" + link);
            return result;
        };
        const QStringList before = identities();

        QCOMPARE(expandInputs({root}), (QStringList{a, b}));
        analyze({root});
        QCOMPARE(m_engine->jobs().size(), 2);
        QCOMPARE(m_fx->llm.server().requests().size(), 2);
        m_engine->setAllApproved(true); // "a" and "b" hold no date: only the user's tick renames them
        QCOMPARE(awaitTask(m_engine->applyApproved()).size(), 2);
        QCOMPARE(identities(), before);
        QVERIFY(QFile::exists(outside));
    }

    void namesThatAreNoUtf8SayWhy()
    {
        const QString folder = m_dir.filePath("alt");
        touch(folder + "/neu.txt");
        const QByteArray latin1 = QFile::encodeName(folder) + "/Gr\xfc\xdf"
                                                              "e.txt"; // "Grüße" in Latin-1
        QCOMPARE(::close(::open(latin1.constData(), O_CREAT | O_WRONLY, 0600)), 0);

        analyze({folder});
        QCOMPARE(m_engine->jobs().size(), 2);
        const RenameJob job = m_engine->jobs().first();
        QCOMPARE(job.failureReason, QString::fromUtf8("Dateiname nicht in UTF-8: Gr\uFFFD\uFFFDe.txt"));
        QVERIFY(!m_engine->jobs().last().hasFailed());

        analyze({QFile::decodeName(latin1)}); // named on the command line: Qt decodes it the same way
        QCOMPARE(jobNames(), (QStringList{job.originalName(), "neu.txt"})); // the same row, renewed
        QCOMPARE(m_engine->jobs().first().failureReason,
                 QString::fromUtf8("Dateiname nicht in UTF-8: Gr\uFFFD\uFFFDe.txt"));
    }

    void systemFoldersYieldNothing_data()
    {
        QTest::addColumn<QString>("path");
        for (const char *path : {"/proc", "/proc/sys", "/sys", "/sys/kernel", "/dev", "/dev/shm", "/dev/pts", "/run"})
            QTest::newRow(path) << path;
        QTest::newRow("/dev through a path with a link") << "LINK/dev";
    }

    void systemFoldersYieldNothing()
    {
        QFETCH(QString, path);
        QVERIFY(QFile::link("/", m_dir.filePath("LINK")));
        path.replace("LINK", m_dir.filePath("LINK"));
        if (!QFileInfo(path).isDir())
            QSKIP("not present on this machine");
        QCOMPARE(expandInputs({path}), QStringList());
    }

    void rootWalkSkipsSystemAreasAndStops()
    {
        std::atomic_bool stop = true;
        QCOMPARE(expandInputs({touch(m_dir.filePath("a.txt")), m_dir.path()}, &stop), QStringList());

        stop = false;
        QFuture<QStringList> walked = QtConcurrent::run(expandInputs, QStringList{"/"}, &stop);
        QTest::qWait(1500); // a while into the walk, which then ends (not after the whole disk)
        stop = true;
        walked.waitForFinished();
        const QStringList files = walked.result();
        QVERIFY(!files.isEmpty());
        for (const QString &file : files) {
            for (const char *tree : {"/proc/", "/sys/", "/dev/", "/run/"})
                QVERIFY2(!file.startsWith(tree), qPrintable(file));
        }
    }

private:
    bool make(const QString &path)
    {
        const QString name = QFileInfo(path).fileName();
        if (name == "fifo")
            return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
        if (name == "sock")
            return makeSocket(path);
        if (name == "verweis.txt")
            return QFile::link(touch(m_dir.filePath("ziel.txt")), path);
        return QDir().mkpath(m_dir.filePath("ordner")) && QFile::link(m_dir.filePath("ordner"), path);
    }
};

QTEST_GUILESS_MAIN(TestInputSafety)
#include "tst_inputsafety.moc"
