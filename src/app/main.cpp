#include "app/signalwatcher.h"
#include "common/processenvironment.h"
#include "settings/defaultsstore.h"
#include "ui/mainwindow.h"

#include <QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    ensureSingleThreadedOpenMP(argv);
    QApplication::setApplicationName(QStringLiteral("namorix"));
    QApplication::setApplicationVersion(QStringLiteral(NAMORIX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("namorix"));
    QApplication app(argc, argv);

    SignalWatcher signalWatcher({SIGINT, SIGTERM});
    QObject::connect(&signalWatcher, &SignalWatcher::received, &app, [] { QCoreApplication::quit(); });

    MainWindow window;
    window.show();

    const int exitCode = app.exec();
    DefaultsStore::standard().flush();
    return exitCode;
}
