#include "ai/aisettings.h"
#include "api/apiserver.h"
#include "app/applog.h"
#include "app/commandline.h"
#include "app/contentcontroller.h"
#include "app/signalwatcher.h"
#include "app/singleinstance.h"
#include "app/waylandseat.h"
#include "automation/watchrouter.h"
#include "common/processenvironment.h"
#include "common/stringtable.h"
#include "companion/kvxclient.h"
#include "engine/renameengine.h"
#include "engine/undo.h"
#include "extraction/sandbox/extractionsandbox.h"
#include "naming/renamerules.h"
#include "settings/appsettings.h"
#include "settings/defaultsstore.h"
#include "settings/navigationstate.h"
#include "store/objectstore.h"
#include "ui/common/readablestyle.h"
#include "ui/common/wheelguard.h"
#include "ui/firststart/firststartgate.h"
#include "ui/history/historyview.h"
#include "ui/mainwindow.h"
#include "ui/tray/closetotray.h"
#include "ui/tray/trayicon.h"
#include "ui/watch/watchedfoldersview.h"

#include <QApplication>
#include <QMessageBox>

#include <csignal>

namespace {

/**
 * The store, with renames a crash interrupted settled. When it cannot be opened the app runs
 * without history (the file is left untouched) and says why.
 */
std::unique_ptr<ObjectStore> openStore(QWidget *window)
{
    auto opened = ObjectStore::open(ObjectStore::standardFilePath());
    if (!opened) {
        const QString message = opened.error().message();
        qCWarning(lcApp, "%s", qUtf8Printable(message));
        auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Namorix"), message, QMessageBox::Ok, window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return nullptr;
    }
    std::unique_ptr<ObjectStore> store = std::move(*opened);
    if (const auto settled = Undo::settleInterruptedRenames(*store); !settled)
        qCWarning(lcApp, "%s", qUtf8Printable(settled.error().message()));
    return store;
}

} // namespace

int main(int argc, char *argv[])
{
    ensureSingleThreadedOpenMP(argv);
    releaseLargeBuffersPromptly();
    QApplication::setApplicationName(QStringLiteral("namorix"));
    QApplication::setApplicationVersion(QStringLiteral(NAMORIX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("namorix"));
    LaunchArguments arguments;
    {
        // Before the window system is touched: --help, --version and a wrong option need no display.
        QCoreApplication parsing(argc, argv);
        StringTable::install();
        arguments = CommandLine::parse(parsing);
    }
    WaylandSeat::avoidSeatlessInputMethod();
    QApplication app(argc, argv);
    StringTable::install();
    WheelGuard::install();
    ReadableStyle::install();
    SingleInstance instance;
    if (instance.handOver(arguments))
        return 0;

    // Made now, so that a system without a complete sandbox is named in the log at start.
    (void)ExtractionSandbox::shared();

    SignalWatcher signalWatcher({SIGINT, SIGTERM});
    // exit, not quit: quit asks the windows first, and the legal screen and a tray-kept window decline.
    QObject::connect(&signalWatcher, &SignalWatcher::received, &app, [] { QCoreApplication::exit(0); });

    const std::unique_ptr<ObjectStore> store = openStore(nullptr);
    APIServer server({RenameEngine::Services::shared(), AppSettings::shared(), DefaultsStore::standard(),
                      NavigationState::shared()});
    ContentController content(store.get(), server);
    MainWindow window({content.engine(), content.starter(), content.watcher(), store.get(), NavigationState::shared(),
                       AISettings::shared(), AppSettings::shared(), KVXClient::shared(), DefaultsStore::standard(),
                       RenameRules::shared()});
    window.setHistoryPage(new HistoryView(store.get(), &content.engine().fileWork()));
    auto *watchPage = new WatchedFoldersView(store.get(), content.watcher(), content.queue());
    QObject::connect(watchPage, &WatchedFoldersView::takeExistingRequested, &app, [&content](const QString &path) {
        if (WatchRouter *router = content.router())
            router->takeExisting(path);
    });
    window.setSectionPage(SidebarItem::watch, watchPage);
    // The tray panel works with an engine of its own over the same store.
    std::unique_ptr<TrayIcon> tray;
    if (TrayIcon::isAvailable())
        tray = std::make_unique<TrayIcon>(RenameEngine::Services::shared(), store.get(), DefaultsStore::standard());
    if (tray)
        tray->setOwner(&window);
    CloseToTray closing(window, tray ? &tray->icon() : nullptr, DefaultsStore::standard());
    // Without a tray a hidden start would leave nothing to click on.
    if (!arguments.hidden || !tray || !tray->icon().isVisible())
        window.show();
    content.start(&window);
    // Legal acceptance, then the onboarding once; declining ends the app with nothing recorded.
    FirstStartGate gate(DefaultsStore::standard(), AISettings::shared(), &window);
    QObject::connect(&gate, &FirstStartGate::declined, &app, [] { QCoreApplication::exit(0); });
    gate.start();

    instance.listen();
    const auto showWindow = [&window] { window.bringToFront(); };
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, showWindow);
    if (tray) {
        QObject::connect(tray.get(), &TrayIcon::showWindowRequested, &window, showWindow);
        // A hidden window with the icon gone would leave nothing to click on.
        QObject::connect(tray.get(), &TrayIcon::shownChanged, &window, [&window, showWindow](bool shown) {
            if (!shown && !window.isVisible())
                showWindow();
        });
    }
    QObject::connect(&instance, &SingleInstance::analysisRequested, &window, &MainWindow::analyze);
    // A queue notification's "Anzeigen".
    QObject::connect(&content.queue(), &QueueManager::showBatchRequested, &window, &MainWindow::showBatch);
    instance.deliver(arguments);

    const int exitCode = app.exec();
    DefaultsStore::standard().flush();
    return exitCode;
}
