#include "settings/appsettings.h"
#include "settings/defaultsstore.h"
#include "settings/generalflags.h"
#include "settings/navigationstate.h"

#include <QSignalSpy>
#include <QTest>

class TestAppSettings final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstLaunchDefaults();
    void loadingRules();
    void writeThroughAndNotification();
    void navigation();
};

void TestAppSettings::firstLaunchDefaults()
{
    DefaultsStore store;
    const AppSettings settings(store);
    QCOMPARE(settings.apiEnabled(), true);
    QCOMPARE(settings.apiPort(), 43821);
    QCOMPARE(settings.apiToken(), QString());
    QCOMPARE(settings.kvxEnabled(), true);
    QCOMPARE(settings.kvxPort(), 44477);
    QCOMPARE(settings.kvxToken(), QString());

    QCOMPARE(GeneralFlags::autoRename.read(store), false);
    QCOMPARE(GeneralFlags::showMenuBar.read(store), true);
    QCOMPARE(GeneralFlags::preserveTimestamps.read(store), true);
    QCOMPARE(GeneralFlags::onboardingDone.read(store), false);
    QCOMPARE(GeneralFlags::hasAcceptedLegal.read(store), false);
    QCOMPARE(GeneralFlags::legalAcceptanceDate(store), std::nullopt);

    const QDateTime moment = QDateTime::fromSecsSinceEpoch(1760000000, Qt::UTC);
    GeneralFlags::acceptLegal(store, moment);
    QCOMPARE(GeneralFlags::hasAcceptedLegal.read(store), true);
    QCOMPARE(GeneralFlags::legalAcceptanceDate(store), moment);
}

void TestAppSettings::loadingRules()
{
    DefaultsStore store;
    store.setBool("api.enabled", false);
    store.setInteger("api.port", 0);
    store.setInteger("kvx.port", 50123);
    store.setBool("showMenuBar", false);
    const AppSettings settings(store);
    QCOMPARE(settings.apiEnabled(), false);
    QCOMPARE(settings.apiPort(), 43821);
    QCOMPARE(settings.kvxPort(), 50123);
    QCOMPARE(GeneralFlags::showMenuBar.read(store), false);
}

void TestAppSettings::writeThroughAndNotification()
{
    DefaultsStore store;
    AppSettings settings(store);
    QSignalSpy portSpy(&settings, &AppSettings::apiPortChanged);
    QSignalSpy tokenSpy(&settings, &AppSettings::kvxTokenChanged);
    QSignalSpy enabledSpy(&settings, &AppSettings::apiEnabledChanged);

    // Assigning the current value writes the key but tells nobody.
    settings.setApiEnabled(true);
    QVERIFY(store.contains("api.enabled"));
    QCOMPARE(enabledSpy.count(), 0);

    settings.setApiPort(0);
    QCOMPARE(store.integerValue("api.port"), 0);
    QCOMPARE(portSpy.count(), 1);
    QCOMPARE(AppSettings(store).apiPort(), 43821);

    settings.setKvxToken("t0k3n");
    settings.setKvxToken("t0k3n");
    QCOMPARE(tokenSpy.count(), 1);
    QCOMPARE(store.stringValue("kvx.token"), QString("t0k3n"));

    settings.setKvxEnabled(false);
    settings.setApiToken("secret");
    settings.setKvxPort(1);
    const AppSettings reloaded(store);
    QCOMPARE(reloaded.kvxEnabled(), false);
    QCOMPARE(reloaded.apiToken(), QString("secret"));
    QCOMPARE(reloaded.kvxPort(), 1);
}

void TestAppSettings::navigation()
{
    NavigationState state;
    QCOMPARE(state.selectedTab(), SidebarItem::files);
    QSignalSpy spy(&state, &NavigationState::selectedTabChanged);
    state.setSelectedTab(SidebarItem::watch);
    state.setSelectedTab(SidebarItem::watch);
    state.showFiles();
    state.showFiles();
    QCOMPARE(spy.count(), 2);

    QCOMPARE(enumFromRaw<SidebarItem>(u"history"), SidebarItem::history);
    QCOMPARE(enumFromRaw<SidebarItem>(u"History"), std::nullopt);
    QCOMPARE(allRawValues<SidebarItem>(), (QStringList{"files", "history", "templates", "watch"}));
    QCOMPARE(labelKey(SidebarItem::templates), QString("sidebar.templates"));
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
