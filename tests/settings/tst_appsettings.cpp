#include "settings/appsettings.h"
#include "settings/defaultsstore.h"
#include "settings/navigationstate.h"

#include <QSignalSpy>
#include <QTest>

class TestAppSettings final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Stored values surviving a restart are tst_settingsrestart's subject; this is about memory and signals.
    void writeThroughAndNotification()
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
        settings.setKvxToken("t0k3n");
        settings.setKvxToken("t0k3n");
        QCOMPARE(tokenSpy.count(), 1);
        QCOMPARE(store.stringValue("kvx.token"), "t0k3n");

        // Port 0 stays in memory and in the store, and means the default only on the next load.
        settings.setApiPort(0);
        QCOMPARE(store.integerValue("api.port"), 0);
        QCOMPARE(settings.apiPort(), 0);
        QCOMPARE(portSpy.count(), 1);
        QCOMPARE_NE(AppSettings(store).apiPort(), 0);
    }

    void navigation()
    {
        NavigationState state;
        QSignalSpy spy(&state, &NavigationState::selectedTabChanged);
        state.setSelectedTab(SidebarItem::watch);
        state.setSelectedTab(SidebarItem::watch);
        state.showFiles();
        state.showFiles();
        QCOMPARE(spy.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
