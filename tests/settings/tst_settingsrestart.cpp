#include <QDir>
#include <QJsonArray>
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
    void valuesSurviveRestart()
    {
        QTemporaryDir home;
        const QJsonObject before = runProbe(home.path(), "read");
        QCOMPARE(before["loadProblem"], false);
        QVERIFY(QDir(home.path()).isEmpty()); // reading writes nothing

        QVERIFY(runProbe(home.path(), "write").isEmpty());
        const QJsonObject flags{{"autoRename", true},         {"showMenuBar", false},
                                {"preserveTimestamps", true}, {"onboardingDone", false},
                                {"hasAcceptedLegal", true},   {"autoRenameVerifiedOnly", true}};
        QCOMPARE(runProbe(home.path(), "read"), (QJsonObject{{"preview", "Ä-T-MOBILFUNK-MAERZ.pdf"},
                                                             {"categories", QJsonArray{"rechnung", "quittung"}},
                                                             {"maxLength", 42},
                                                             {"api", "0 50000 geheim"},
                                                             {"kvx", "0 50001 kvx"},
                                                             {"flags", flags},
                                                             {"legalAcceptanceDate", "2025-10-09T08:53:20Z"},
                                                             {"loadProblem", false}}));
    }
};

QTEST_GUILESS_MAIN(TestSettingsRestart)
#include "tst_settingsrestart.moc"
