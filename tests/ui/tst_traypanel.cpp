// The tray panel, the tray icon's menu and closing the main window; the test is the notification service.
#include "automation/desktopnotifier.h"
#include "notificationrecorder.h"
#include "ui/common/manyfilesquestion.h"
#include "ui/files/joblistmodel.h"
#include "ui/tray/closetotray.h"
#include "ui/tray/trayicon.h"
#include "ui/tray/traypanel.h"
#include "windowfixture.h"

class TestTrayPanel final : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> w;
    std::unique_ptr<TrayPanel> panel;
    NotificationRecorder recorder;
    QDBusConnection serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notification-service");

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("NAMORIX_PRIVATE_BUS"), "run through with-session-bus.sh");
        QVERIFY(recorder.registerOn(serviceBus));
    }

    void init()
    {
        w = std::make_unique<WindowFixture>();
        panel = std::make_unique<TrayPanel>(w->fx.services(), w->store.get(), w->fx.defaults);
        showActive(panel.get());
    }

    void cleanup()
    {
        panel.reset();
        w.reset();
    }

    void dropListsRowsThenCancelOrRename()
    {
        QCOMPARE(panel->currentState(), static_cast<QWidget *>(panel->dropTarget()));
        screenshot(panel.get(), "tray-panel-drop.png");
        w->fx.llm.setDelay(300);
        w->fx.llm.setReply("a.txt", LlmStub::letterReply("Finanzamt"));
        const QString b = w->touch("tray_test.txt"), a = w->touch("ordner/a.txt", "Finanzamt, 15.03.2024");
        dropFiles(panel->dropTarget(), {b}); // cancelled: nothing renamed, nothing recorded
        QTRY_COMPARE(panel->currentState(), panel->list()->parentWidget());
        QCOMPARE(panel->focusWidget(), panel->renameButton()); // the keyboard's way: Shift+Tab, Space
        QTest::keyClick(panel->focusWidget(), Qt::Key_Backtab);
        QTest::keyClick(panel->focusWidget(), Qt::Key_Space);
        QCOMPARE(panel->currentState(), static_cast<QWidget *>(panel->dropTarget()));
        QVERIFY(QFile::exists(b) && w->store->fetchRecords()->isEmpty());

        dropFiles(panel->dropTarget(), {b, w->dir.filePath("ordner")});
        QTRY_VERIFY(panel->engine().isProcessing());
        QCOMPARE(panel->currentState()->findChild<QProgressBar *>()->maximum(), 0);
        QTRY_COMPARE(panel->currentState()->findChild<QListView *>(), panel->list());
        const QAbstractItemModel *rows = panel->list()->model();
        QStringList shown;
        for (int row = 0; row < rows->rowCount(); ++row)
            shown << rows->index(row, 0).data(JobListModel::OriginalNameRole).toString() + " → " +
                         rows->index(row, 0).data().toString();
        QCOMPARE(shown, QStringList({"tray_test.txt → 2024-03-15_rechnung_mobilfunk_maerz.txt",
                                     "a.txt → 2024-03-15_brief_finanzamt.txt"}));
        screenshot(panel.get(), "tray-panel.png");
        const QPalette light = panel->palette();
        panel->setPalette(QPalette(QColor(0x31, 0x36, 0x3b), QColor(0x23, 0x26, 0x29)));
        screenshot(panel.get(), "tray-panel-dark.png");
        panel->setPalette(light);

        QTest::keyClick(panel->list(), Qt::Key_Return); // the panel's default, wherever the focus is
        QTRY_COMPARE(panel->currentState(), static_cast<QWidget *>(panel->dropTarget()));
        const QStringList renamed{w->dir.filePath("2024-03-15_rechnung_mobilfunk_maerz.txt"),
                                  w->dir.filePath("ordner/2024-03-15_brief_finanzamt.txt")};
        QVERIFY(!QFile::exists(a) && !QFile::exists(b) && QFile::exists(renamed[0]) && QFile::exists(renamed[1]));
        QCOMPARE(w->store->fetchRecords()->size(), 2);
        QVERIFY(w->engine->jobs().isEmpty()); // the main window's list stays out of it
    }

    // The tray's drops go through the window's starter (whose safeguards are tst_analysis'): many
    // files ask first, and a run can be stopped.
    void manyFilesAskAndARunStops()
    {
        for (int i = 0; i < 600; ++i)
            w->touch(QString("viele/%1.txt").arg(i), "x");
        w->fx.llm.setDelay(300);
        dropFiles(panel->dropTarget(), {w->dir.filePath("viele")});
        QTRY_VERIFY(panel->question()->box());
        QVERIFY(panel->isVisible()); // its own question takes the focus without closing it
        named<QPushButton>(panel->question()->box(), "Analysieren")->click();
        QTRY_VERIFY(panel->engine().isProcessing());
        QCOMPARE(panel->currentState(), panel->stopButton()->parentWidget());
        QTest::mouseClick(panel->stopButton(), Qt::LeftButton);
        QTRY_VERIFY(!panel->engine().isProcessing()); // that nothing more goes out: tst_analysis
    }

    void placement_data()
    {
        QTest::addColumn<QRect>("icon");
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("icon top middle: under it, centred") << QRect(600, 0, 24, 24) << QPoint() << QPoint(461, 24);
        QTest::newRow("icon top right: kept on screen") << QRect(1250, 0, 24, 24) << QPoint() << QPoint(980, 24);
        QTest::newRow("icon bottom left: over it") << QRect(4, 876, 24, 24) << QPoint() << QPoint(0, 676);
        QTest::newRow("place unknown: at the cursor") << QRect() << QPoint(1200, 850) << QPoint(980, 700);
    }

    void placement()
    {
        QFETCH(QRect, icon);
        QFETCH(QPoint, cursor);
        QTEST(TrayPanel::placement(icon, QSize(300, 200), QRect(0, 0, 1280, 900), cursor), "expected");
    }

    void trayMenuAndClickOpenThePanel()
    {
        TrayIcon tray(w->fx.services(), w->store.get(), w->fx.defaults);
        QCOMPARE(tray.menu()->actions().last()->text(), "Beenden");
        QSignalSpy showWindow(&tray, &TrayIcon::showWindowRequested);
        tray.menu()->actions().first()->trigger();
        QCOMPARE(showWindow.size(), 1);

        Q_EMIT const_cast<QSystemTrayIcon &>(tray.icon()).activated(QSystemTrayIcon::Trigger);
        QVERIFY(tray.panel()->isVisible());
        Q_EMIT const_cast<QSystemTrayIcon &>(tray.icon()).activated(QSystemTrayIcon::Trigger);
        QVERIFY(!tray.panel()->isVisible());
        // Like a tray pop-up: Esc closes it, and so does another window taking the focus, where
        // the click on the icon that took the focus leaves it closed.
        tray.togglePanel();
        QTest::keyClick(tray.panel(), Qt::Key_Escape);
        QVERIFY(!tray.panel()->isVisible());
        tray.togglePanel();
        QVERIFY(QTest::qWaitForWindowActive(tray.panel()));
        QWidget elsewhere;
        showActive(&elsewhere);
        QVERIFY(!tray.panel()->isVisible());
        tray.togglePanel();
        QVERIFY(!tray.panel()->isVisible());
        QTest::qWait(450);
        tray.togglePanel();
        QVERIFY(tray.panel()->isVisible());
        tray.panel()->pinButton()->click(); // pinned, it waits for a drag from the file manager
        showActive(&elsewhere);
        QVERIFY(tray.panel()->isVisible());

        // The icon follows "showMenuBar" as the settings window or the REST API writes it.
        QSignalSpy shown(&tray, &TrayIcon::shownChanged);
        tray.togglePanel();
        GeneralFlags::showMenuBar.write(w->fx.defaults, false);
        QVERIFY(!tray.icon().isVisible());
        QVERIFY(!tray.panel()->isVisible());
        QVERIFY(!TrayIcon(w->fx.services(), w->store.get(), w->fx.defaults).icon().isVisible());
        DefaultsStore other;
        GeneralFlags::showMenuBar.write(other, true); // not this icon's store
        QVERIFY(!tray.icon().isVisible());
        GeneralFlags::showMenuBar.write(w->fx.defaults, true);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1][0], true);
        // Whether a desktop's tray then shows it: gui_tray.
    }

    void closingTheWindow_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::newRow("without a tray: quits") << false;
        QTest::newRow("with a tray: hides and says so once") << true;
    }

    void closingTheWindow()
    {
        QFETCH(bool, tray);
        recorder.calls.clear();
        QSystemTrayIcon icon(QIcon(":/icons/namorix.svg"));
        icon.setVisible(tray);
        CloseToTray closing(*w->window, tray ? &icon : nullptr, w->fx.defaults);
        QWidget other; // another window stays open, so only closing decides whether the app quits
        other.show();
        for (int time = 1; time <= 2; ++time) {
            w->window->show();
            QTimer::singleShot(0, w->window.get(), [this, tray] { QCOMPARE(w->window->close(), !tray); });
            QTimer::singleShot(tray ? 300 : 5000, &other, [] { QCoreApplication::exit(7); }); // 7: nothing quit
            QCOMPARE(QCoreApplication::exec(), tray ? 7 : 0);
            QVERIFY(!w->window->isVisible());
        }
        DesktopNotifier().post("danach", {}); // on the same connection: it comes after any notice of the closes
        QTRY_COMPARE(recorder.calls.size(), tray ? 2 : 1);
        QCOMPARE(recorder.calls.last().title, "danach");
        QCOMPARE(w->fx.defaults.boolValue(CloseToTray::NoticeShownKey.toString()), tray);
    }
};

QTEST_MAIN(TestTrayPanel)
#include "tst_traypanel.moc"
