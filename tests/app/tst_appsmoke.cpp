#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

class TestAppSmoke final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsAndQuitsOnSignal_data();
    void startsAndQuitsOnSignal();
};

void TestAppSmoke::startsAndQuitsOnSignal_data()
{
    QTest::addColumn<QByteArray>("settingsFile");
    QTest::addColumn<bool>("corrupt");
    // A free port, so the server never competes with an app running on the default one.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    QTest::newRow("first launch") << "{\"api.port\": " + QByteArray::number(probe.serverPort()) + "}" << false;
    QTest::newRow("corrupt settings") << QByteArray("{\"api.port\": ") << true;
}

void TestAppSmoke::startsAndQuitsOnSignal()
{
    QFETCH(QByteArray, settingsFile);
    QFETCH(bool, corrupt);
    QTemporaryDir home;
    QVERIFY(QDir().mkpath(home.filePath("config/namorix")));
    QFile file(home.filePath("config/namorix/settings.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(settingsFile);
    file.close();

    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("XDG_RUNTIME_DIR", home.path());
    app.setProcessEnvironment(env);
    app.start(NAMORIX_BINARY, {});
    QVERIFY(app.waitForStarted(10000));
    QTest::qWait(1500);
    QCOMPARE(app.state(), QProcess::Running);

    app.terminate(); // SIGTERM: the app quits through its event loop
    QVERIFY(app.waitForFinished(10000));
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);

    if (corrupt) {
        const QStringList aside = QDir(home.filePath("config/namorix")).entryList({"settings.json.corrupt-*"});
        QCOMPARE(aside.size(), 1);
    }
}

QTEST_GUILESS_MAIN(TestAppSmoke)
#include "tst_appsmoke.moc"
