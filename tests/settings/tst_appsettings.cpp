#include "settings/appsettings.h"
#include "settings/defaultsstore.h"
#include "settings/navigationstate.h"

#include <QSignalSpy>
#include <QTest>

class TestAppSettings final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
