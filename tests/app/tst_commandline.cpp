// The command line and the "namorix://rename" URL as pure functions, and the hand-over of a later
// start's arguments over a real local socket.
#include "commandline.h"
#include "singleinstance.h"

#include <QProcess>
#include <QtTest>

#include <unistd.h>

using Urls = QList<QUrl>;
Q_DECLARE_METATYPE(std::optional<Urls>)

namespace {

Urls files(const QStringList &paths)
{
    Urls urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    return urls;
}

} // namespace

class TestCommandLine final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void renameUrl_data();
    void renameUrl();
    void analysisInputs_data();
    void analysisInputs();
    void handOver();
    void answersWithoutADisplay();
};

void TestCommandLine::renameUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<std::optional<Urls>>("expected");
    const std::optional<Urls> ignored;
    QTest::newRow("query decoding, '+' stays") << "namorix://rename?x=1&paths=/tmp/a%20b+c.pdf%2C/tmp/%C3%A4.txt"
                                               << std::optional(files({"/tmp/a b+c.pdf", "/tmp/ä.txt"}));
    QTest::newRow("first paths item wins") << "namorix://rename?paths=/a&paths=/b" << std::optional(files({"/a"}));
    QTest::newRow("empty pieces and relative ones dropped")
        << "namorix://rename/?paths=,/a,,b.txt,#frag" << std::optional(files({"/a"}));
    QTest::newRow("paths without value") << "namorix://rename?paths" << ignored;
    QTest::newRow("no paths item") << "namorix://rename?path=/a" << ignored;
    QTest::newRow("no query") << "namorix://rename" << ignored;
    QTest::newRow("host upper case") << "namorix://Rename?paths=/a" << ignored;
    QTest::newRow("host with port") << "namorix://rename:1?paths=/a" << ignored;
    QTest::newRow("scheme upper case") << "Namorix://rename?paths=/a" << ignored;
}

void TestCommandLine::renameUrl()
{
    QFETCH(QString, url);
    QTEST(CommandLine::renameUrlFiles(url), "expected");
}

void TestCommandLine::analysisInputs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<std::optional<Urls>>("expected");
    QTest::newRow("relative and absolute paths, in order")
        << QStringList{"b.pdf", "/x/../y/ordner", "./c d.txt"}
        << std::optional(files({"/home/me/b.pdf", "/y/ordner", "/home/me/c d.txt"}));
    QTest::newRow("file URL and rename URL") << QStringList{"file:///tmp/a%20b.pdf", "namorix://rename?paths=/c,/d"}
                                             << std::optional(files({"/tmp/a b.pdf", "/c", "/d"}));
    QTest::newRow("ignored URLs only") << QStringList{"namorix://other?paths=/a", "https://example.org"}
                                       << std::optional<Urls>();
    QTest::newRow("rename URL of commas: an empty run")
        << QStringList{"namorix://rename?paths=,"} << std::optional(Urls{});
}

void TestCommandLine::analysisInputs()
{
    QFETCH(QStringList, arguments);
    QTEST(CommandLine::analysisInputs(LaunchArguments{arguments, "/home/me"}), "expected");
}

void TestCommandLine::handOver()
{
    QTemporaryDir dir;
    { // Without a runtime folder the socket goes to a folder of ours that nobody else may enter.
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), temp = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(dir.path()));
        const QString own = dir.filePath(QString("namorix-%1").arg(::getuid()));
        QCOMPARE(SingleInstance::defaultSocketPath(), own + "/namorix.socket");
        QCOMPARE(QFileInfo(own).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther), 0);
        QVERIFY(QFile::setPermissions(own, QFile::permissions(own) | QFile::ReadOther | QFile::ExeOther));
        QCOMPARE(SingleInstance::defaultSocketPath(), QString()); // another may have made it: not ours to use
        QVERIFY(!SingleInstance(QString()).listen());
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("TMPDIR", temp);
    }
    const QString socket = dir.filePath("namorix.socket");
    SingleInstance later(socket);
    QVERIFY(!later.handOver({{"/a"}, "/"})); // nobody runs yet

    { // a crashed run's socket file is taken over
        QFile leftover(socket);
        QVERIFY(leftover.open(QIODevice::WriteOnly));
    }
    SingleInstance running(socket);
    QVERIFY(running.listen());
    QSignalSpy activated(&running, &SingleInstance::activationRequested);
    QSignalSpy analyse(&running, &SingleInstance::analysisRequested);

    QVERIFY(later.handOver({{"b.pdf", "namorix://rename?paths=/c"}, "/home/me"}));
    QTRY_COMPARE(analyse.size(), 1);
    QCOMPARE(analyse.first().first().value<Urls>(), files({"/home/me/b.pdf", "/c"}));
    // A plain second start only brings the window up, with its launcher's token where Qt's
    // Wayland integration takes it from.
    QVERIFY(later.handOver({{}, "/", false, "launcher-token"}));
    QTRY_COMPARE(activated.size(), 2);
    QCOMPARE(analyse.size(), 1);
    QCOMPARE(qEnvironmentVariable("XDG_ACTIVATION_TOKEN"), "launcher-token");
    qunsetenv("XDG_ACTIVATION_TOKEN");
    QVERIFY(later.handOver({{"/d"}, "/", true, "unused"})); // autostart while running: the window stays away
    QTRY_COMPARE(analyse.size(), 2);
    QCOMPARE(activated.size(), 2);
    QVERIFY(!qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
}

// --help, --version and a wrong option are answered in a terminal with no display, in German.
void TestCommandLine::answersWithoutADisplay()
{
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        bare.remove(name);
    const auto run = [&](const QString &argument) {
        QProcess namorix;
        namorix.setProcessEnvironment(bare);
        namorix.start(NAMORIX_BINARY, {argument});
        namorix.waitForFinished(10000);
        return std::pair{namorix.exitCode(), QString::fromUtf8(namorix.readAll() + namorix.readAllStandardError())};
    };
    QCOMPARE(run("--version"), std::pair(0, QString("namorix 0.1.0\n")));
    QVERIFY(run("--help").second.contains("Zeigt Hilfe zu den Kommandozeilenoptionen an."));
    QCOMPARE(run("--gibtsnicht"), std::pair(1, QString("namorix: Unbekannte Option 'gibtsnicht'.\n")));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
