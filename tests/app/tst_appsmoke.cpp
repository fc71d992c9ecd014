// Starting with a corrupt settings file: the app runs, moves the file aside and quits on SIGTERM.
// A clean start and stop is tst_apiendtoend's.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestAppSmoke final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void corruptSettingsAreMovedAside()
    {
        QTemporaryDir home;
        const QString config = home.filePath("config/namorix");
        QVERIFY(QDir().mkpath(config));
        QFile file(config + "/settings.json");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("{\"api.port\": ") > 0);
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
        QTRY_COMPARE_WITH_TIMEOUT(QDir(config).entryList({"settings.json.corrupt-*"}).size(), 1, 10000);
        QCOMPARE(app.state(), QProcess::Running);

        app.terminate();
        QVERIFY(app.waitForFinished(10000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAppSmoke)
#include "tst_appsmoke.moc"
