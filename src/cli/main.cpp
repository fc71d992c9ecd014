// namorix-cli: the terminal's way to Namorix. Talks to the running app's REST API, or runs the
// same API over the core in this process when no app runs (headless, also over SSH).
#include "app/signalwatcher.h"
#include "cli/commands.h"
#include "common/processenvironment.h"
#include "common/stringtable.h"
#include "settings/defaultsstore.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <csignal>

int main(int argc, char *argv[])
{
    ensureSingleThreadedOpenMP(argv);
    releaseLargeBuffersPromptly();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("namorix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(NAMORIX_VERSION));
    StringTable::install();
    // The core's and Qt's log lines are for the app's log; here they would mix with the command's
    // output (Qt warns of a missing runtime folder on every SSH login without a session).
    // QT_LOGGING_RULES still turns them on.
    QLoggingCategory::setFilterRules(QStringLiteral("namorix.*=false\nqt.*=false\ndefault.warning=false"));

    Commands commands;
    SignalWatcher signalWatcher({SIGINT, SIGTERM});
    QObject::connect(&signalWatcher, &SignalWatcher::received, &commands, &Commands::interrupt);
    const int exitCode = commands.run(QCoreApplication::arguments());
    DefaultsStore::standard().flush();
    return exitCode;
}
