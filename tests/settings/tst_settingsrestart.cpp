#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Runs the probe in a fresh process whose config home is `configHome`.
QJsonObject runProbe(const QString &configHome, const QString &mode)
{
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", configHome);
    probe.setProcessEnvironment(env);
    probe.start(SETTINGS_PROBE, {mode});
    if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return {{"failed", QString::fromLocal8Bit(probe.readAllStandardError())}};
    return QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
}

} // namespace

class TestSettingsRestart final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valuesSurviveRestart();
    void corruptFileGivesDefaults();
};

void TestSettingsRestart::valuesSurviveRestart()
{
    QTemporaryDir home;
    const QJsonObject before = runProbe(home.path(), "read");
    QCOMPARE(before.value("preview").toString(), QString("2024-03-15_rechnung_mobilfunk_maerz.pdf"));
    QCOMPARE(before.value("api").toString(), QString("1 43821 "));
    QVERIFY(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty()); // reading writes nothing

    QVERIFY(runProbe(home.path(), "write").isEmpty());
    const QJsonObject after = runProbe(home.path(), "read");
    QCOMPARE(after.value("preview").toString(), QString("Ä-T-MOBILFUNK-MAERZ.pdf"));
    QCOMPARE(after.value("categories").toVariant(), QVariant(QVariantList{"rechnung", "quittung"}));
    QCOMPARE(after.value("maxLength").toInt(), 42);
    QCOMPARE(after.value("api").toString(), QString("0 50000 geheim"));
    QCOMPARE(after.value("kvx").toString(), QString("0 50001 kvx"));
    const QJsonObject flags = after.value("flags").toObject();
    QCOMPARE(flags.value("autoRename").toBool(), true);
    QCOMPARE(flags.value("showMenuBar").toBool(), false);
    QCOMPARE(flags.value("preserveTimestamps").toBool(), true);
    QCOMPARE(flags.value("hasAcceptedLegal").toBool(), true);
    QCOMPARE(after.value("legalAcceptanceDate").toString(), QString("2025-10-09T08:53:20Z"));
    QCOMPARE(after.value("loadProblem").toBool(), false);
}

void TestSettingsRestart::corruptFileGivesDefaults()
{
    QTemporaryDir home;
    QVERIFY(QDir().mkpath(home.filePath("namorix")));
    QFile file(home.filePath("namorix/settings.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"rules.casing": "GROSSBUCHSTABEN", )");
    file.close();

    const QJsonObject read = runProbe(home.path(), "read");
    QCOMPARE(read.value("preview").toString(), QString("2024-03-15_rechnung_mobilfunk_maerz.pdf"));
    QCOMPARE(read.value("loadProblem").toBool(), true);
    const QStringList aside = QDir(home.filePath("namorix")).entryList({"settings.json.corrupt-*"});
    QCOMPARE(aside.size(), 1);
    QFile kept(home.filePath("namorix/" + aside.first()));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray(R"({"rules.casing": "GROSSBUCHSTABEN", )"));
}

QTEST_GUILESS_MAIN(TestSettingsRestart)
#include "tst_settingsrestart.moc"
