#include "settings/appsettings.h"
#include "settings/defaultsstore.h"

#include <QtTest>

#include <thread>

#include <sys/stat.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList asideFiles(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList({"settings.json.corrupt-*"}, QDir::Files);
}

} // namespace

// The settings file, and the settings objects over it.
class TestSettings final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typedValuesSurviveReload()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("sub/settings.json"); // the folder is made on first write
        const QDateTime moment = QDateTime::fromMSecsSinceEpoch(1710498896123, Qt::UTC);
        const QByteArray bytes("\0\xff[{\"x\":1}]", 11);
        {
            DefaultsStore store(path);
            QVERIFY(store.loadProblem().isEmpty());
            store.setBool("flag.false", false);
            store.setBool("flag.true", true);
            store.setInteger("big", (qint64(1) << 62) + 1);
            store.setString("text", "Grüße \"quoted\"");
            store.setString("empty", "");
            store.setStringList("list", {"a", "b"});
            store.setArray("mixed", {"a", 1, true});
            store.setBytes("bytes", bytes);
            store.setDate("date", moment);
            store.setString("removed", "x");
            store.remove("removed");
        }

        const DefaultsStore store(path);
        QVERIFY(store.contains("flag.false") && !store.boolValue("flag.false") && store.boolValue("flag.true"));
        QVERIFY(!store.contains("absent") && !store.contains("removed"));
        QCOMPARE(store.integerValue("big"), (qint64(1) << 62) + 1);
        QCOMPARE(store.stringValue("text"), "Grüße \"quoted\"");
        QCOMPARE(store.stringValue("empty"), "");
        QCOMPARE(store.stringValue("absent"), std::nullopt);
        QCOMPARE(store.stringValue("big"), std::nullopt); // no silent conversion to text
        QCOMPARE(store.arrayValue("list"), (QVariantList{"a", "b"}));
        QCOMPARE(store.arrayValue("mixed"), (QVariantList{"a", qlonglong(1), true}));
        QCOMPARE(store.bytesValue("bytes"), bytes);
        QCOMPARE(store.dateValue("date"), moment);
    }

    // A file that does not parse is moved aside; one that cannot be read (a folder in its place, which
    // even root cannot read nor move over) stays as it is. Either way the store runs on.
    void damagedFileIsNeverOverwritten_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("readable");
        QTest::newRow("truncated") << QByteArray("{\"rules.format\": \"{da") << true;
        QTest::newRow("not an object") << QByteArray("[1, 2]") << true;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("a folder") << QByteArray() << false;
    }

    void damagedFileIsNeverOverwritten()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, readable);
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.json");
        QFile file(path);
        QVERIFY(readable ? file.open(QIODevice::WriteOnly) && file.write(content) == content.size()
                         : QDir().mkpath(path + "/keep"));
        file.close();

        DefaultsStore store(path);
        QVERIFY(!store.contains("rules.format"));
        const QStringList aside = asideFiles(dir);
        QCOMPARE(aside.size(), readable ? 1 : 0);
        QVERIFY2(store.loadProblem().contains(readable ? aside.first() : path), qPrintable(store.loadProblem()));
        store.setString("rules.format", "{beschreibung}");
        store.flush();
        QCOMPARE(store.stringValue("rules.format"), "{beschreibung}");
        if (!readable) {
            QVERIFY(QFileInfo(path + "/keep").isDir()); // in memory only
            return;
        }
        // A fresh file; the damaged one stays as it was.
        QCOMPARE(DefaultsStore(path).stringValue("rules.format"), "{beschreibung}");
        QCOMPARE(readAll(dir.filePath(aside.first())), content);
    }

    void concurrentWritersLoseNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.json");
        {
            DefaultsStore store(path);
            auto writer = [&store](const QString &prefix) {
                for (int i = 0; i < 300; ++i)
                    store.setInteger(prefix + QString::number(i), i);
            };
            std::thread a(writer, QStringLiteral("a.")), b(writer, QStringLiteral("b."));
            a.join();
            b.join();
            store.setString("last", "written");
        }
        const DefaultsStore reloaded(path);
        for (int i = 0; i < 300; ++i) {
            QCOMPARE(reloaded.integerValue("a." + QString::number(i)), i);
            QCOMPARE(reloaded.integerValue("b." + QString::number(i)), i);
        }
        QCOMPARE(reloaded.stringValue("last"), "written");
    }

    // The file holds the API and Korvex tokens.
    void fileIsPrivate_data()
    {
        QTest::addColumn<int>("modeBefore"); // 0: no file yet
        QTest::newRow("new file") << 0;
        QTest::newRow("world-readable") << 0644;
        QTest::newRow("world-writable") << 0666;
    }

    void fileIsPrivate()
    {
        QFETCH(int, modeBefore);
        const auto mode = [](const QString &path) {
            struct stat info = {};
            return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
        };
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.json");
        if (modeBefore) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(R"({"api.token": "t0ken"})") > 0);
            file.close();
            QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(modeBefore)) == 0);
        }
        DefaultsStore store(path);
        if (modeBefore) {
            QCOMPARE(mode(path), 0600); // narrowed on load, before any write
            QCOMPARE(store.stringValue("api.token"), "t0ken");
        }
        store.setString("kvx.token", "s3cret");
        store.flush();
        QCOMPARE(mode(path), 0600);
        QCOMPARE(DefaultsStore(path).stringValue("kvx.token"), "s3cret");
    }

    void memoryStoreWritesNothing()
    {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        DefaultsStore store;
        store.setString("k", "v");
        store.flush();
        QVERIFY(QDir(home.path()).isEmpty());
    }

    // Stored values surviving a restart are tst_apiendtoend's subject; this is about memory and signals.
    void writeThroughAndNotification()
    {
        DefaultsStore store;
        AppSettings settings(store);
        QSignalSpy enabled(&settings, &AppSettings::apiEnabledChanged);
        QSignalSpy port(&settings, &AppSettings::apiPortChanged);
        QVERIFY(!store.contains("api.enabled")); // loading writes nothing
        settings.setApiEnabled(true);            // the current value: written, not announced
        QVERIFY(store.contains("api.enabled"));
        settings.setApiPort(0); // kept as assigned; the default only at the next load
        QCOMPARE(settings.apiPort(), 0);
        QCOMPARE(enabled.count(), 0);
        QCOMPARE(port.count(), 1);
        QCOMPARE_NE(AppSettings(store).apiPort(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
