// Runs with no session bus at all, and through with-session-bus.sh on a bus without a Secret
// Service: both must end up in the private file.
#include "ai/filekeychain.h"
#include "ai/secretservicekeychain.h"

#include "awaittask.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

QStringList s_warnings;
QtMessageHandler s_previousHandler = nullptr;

void collectWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg)
        s_warnings << message;
    s_previousHandler(type, context, message);
}

mode_t modeOf(const QString &path)
{
    struct stat info {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

class TestKeychainFallback final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void fallsBackOnceWithOneNotice();
    void fileStaysPrivate();
    void fileRoundTrips();
    void unreadableFileIsKeptAside();
    void cleanupTestCase();

private:
    QTemporaryDir m_home;
    mode_t m_previousUmask = 0;
};

void TestKeychainFallback::initTestCase()
{
    if (qgetenv("NAMORIX_PRIVATE_BUS") != "1")
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(m_home.filePath("no-bus-here")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
    // With nothing masked, only an explicit 0600 keeps others out.
    m_previousUmask = ::umask(0);
    s_previousHandler = qInstallMessageHandler(collectWarnings);
}

void TestKeychainFallback::cleanupTestCase()
{
    qInstallMessageHandler(s_previousHandler);
    ::umask(m_previousUmask);
}

void TestKeychainFallback::fallsBackOnceWithOneNotice()
{
    KeychainStore &shared = KeychainStore::shared();
    QCOMPARE(awaitTask(shared.read("namorix-Claude", "default")), std::nullopt);
    awaitTask(shared.save("sk-ant-secret", "namorix-Claude", "default"));
    const QString standard = m_home.filePath("config/namorix/credentials.json");
    QCOMPARE(FileKeychain::standardFilePath(), standard);
    QCOMPARE(modeOf(standard), mode_t(0600));

    const QString other = m_home.filePath("other/credentials.json");
    SecretServiceKeychain second(other);
    awaitTask(second.save("sk-other", "svc", "default"));
    QCOMPARE(second.backend(), SecretServiceKeychain::Backend::file);
    QCOMPARE(awaitTask(FileKeychain(other).read("svc", "default")), QString("sk-other"));
    QCOMPARE(awaitTask(FileKeychain(standard).read("namorix-Claude", "default")), QString("sk-ant-secret"));

    const QStringList notices = s_warnings.filter(
        QRegularExpression(QString::fromUtf8("^Kein Secret Service erreichbar; API-Schlüssel werden in ")));
    QCOMPARE(notices.size(), 1);
    QVERIFY(notices[0].contains(standard));
    QVERIFY(!s_warnings.join('\n').contains("sk-"));
}

void TestKeychainFallback::fileStaysPrivate()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("credentials.json");
    FileKeychain keychain(path);
    awaitTask(keychain.save("s1", "svc", "default"));
    QCOMPARE(modeOf(path), mode_t(0600));

    // A copy someone opened up is narrowed as soon as it is read, and every write replaces it
    // with a 0600 file, leaving no temporary behind.
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    FileKeychain reopened(path);
    QCOMPARE(awaitTask(reopened.read("svc", "default")), QString("s1"));
    QCOMPARE(modeOf(path), mode_t(0600));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    awaitTask(reopened.save("s2", "svc", "default"));
    QCOMPARE(modeOf(path), mode_t(0600));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"credentials.json"});
}

void TestKeychainFallback::fileRoundTrips()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/credentials.json");
    FileKeychain keychain(path);
    awaitTask(keychain.remove("svc", "default"));
    QVERIFY(!QFile::exists(path));

    const QString unicode = QString::fromUtf8("Schlüssel-ключ-🔑-") + QChar(0) + "-end";
    awaitTask(keychain.save("first", "svc", "default"));
    awaitTask(keychain.save("second", "svc", "default"));
    awaitTask(keychain.save("other account", "svc", "second"));
    awaitTask(keychain.save(unicode, QString::fromUtf8("dienst-ü"), "default"));
    awaitTask(keychain.remove("svc", "second"));

    FileKeychain fresh(path);
    QCOMPARE(awaitTask(fresh.read("svc", "default")), QString("second"));
    QCOMPARE(awaitTask(fresh.read("svc", "second")), std::nullopt);
    QCOMPARE(awaitTask(fresh.read(QString::fromUtf8("dienst-ü"), "default")), unicode);
}

void TestKeychainFallback::unreadableFileIsKeptAside()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("credentials.json");
    QFile garbage(path);
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("{\"svc\": {\"default\": \"half-writ");
    garbage.close();

    s_warnings.clear();
    FileKeychain keychain(path);
    QCOMPARE(awaitTask(keychain.read("svc", "default")), std::nullopt);
    awaitTask(keychain.save("new", "svc", "default"));
    QCOMPARE(awaitTask(FileKeychain(path).read("svc", "default")), QString("new"));

    const QStringList aside = QDir(dir.path()).entryList({"credentials.json.corrupt-*"});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(modeOf(dir.filePath(aside[0])), mode_t(0600));
    QCOMPARE(s_warnings.size(), 1);
    QVERIFY(!s_warnings[0].contains("half-writ"));
}

QTEST_GUILESS_MAIN(TestKeychainFallback)
#include "tst_keychainfallback.moc"
