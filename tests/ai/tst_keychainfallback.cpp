// Runs with no session bus at all, and through with-session-bus.sh on a bus without a Secret
// Service: both must end up in the private file.
#include "ai/filekeychain.h"
#include "ai/secretservicekeychain.h"

#include "awaittask.h"

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
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

class TestKeychainFallback final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qgetenv("NAMORIX_PRIVATE_BUS") != "1")
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(m_home.filePath("no-bus-here")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
        m_previousUmask = ::umask(0); // with nothing masked, only an explicit 0600 keeps others out
        s_previousHandler = qInstallMessageHandler(collectWarnings);
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(s_previousHandler);
        ::umask(m_previousUmask);
    }

    void keysPersistInAPrivateFile()
    {
        KeychainStore &shared = KeychainStore::shared();
        QCOMPARE(awaitTask(shared.read("namorix-Claude", "default")), std::nullopt);
        awaitTask(shared.save("sk-ant-first", "namorix-Claude", "default"));
        awaitTask(shared.save("sk-ant-secret", "namorix-Claude", "default"));
        awaitTask(shared.save("sk-gone", "svc", "default"));
        awaitTask(shared.remove("svc", "default"));
        const QString standard = m_home.filePath("config/namorix/credentials.json");
        QCOMPARE(FileKeychain::standardFilePath(), standard);
        QCOMPARE(modeOf(standard), mode_t(0600));
        FileKeychain file(standard); // a later run reads what this one stored
        QCOMPARE(awaitTask(file.read("namorix-Claude", "default")), QString("sk-ant-secret"));
        QCOMPARE(awaitTask(file.read("svc", "default")), std::nullopt);

        // A second store falls back as well, without a second notice.
        const QString other = m_home.filePath("other/credentials.json");
        SecretServiceKeychain second(other);
        awaitTask(second.save("sk-other", "svc", "default"));
        QCOMPARE(second.backend(), SecretServiceKeychain::Backend::file);
        QCOMPARE(awaitTask(FileKeychain(other).read("svc", "default")), QString("sk-other"));

        const QStringList notices = s_warnings.filter(QString::fromUtf8("Kein Secret Service erreichbar"));
        QCOMPARE(notices.size(), 1);
        QVERIFY(notices[0].contains(standard));
        QVERIFY(!s_warnings.join('\n').contains("sk-"));
    }

private:
    QTemporaryDir m_home;
    mode_t m_previousUmask = 0;
};

QTEST_GUILESS_MAIN(TestKeychainFallback)
#include "tst_keychainfallback.moc"
