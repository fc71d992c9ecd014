// The LLM stub as a process, for tests that drive the real app from outside (the GUI test):
//   llmstub_server [FILE_NAME=REPLY_JSON …]
// prints its base URL on one line and serves until its standard input closes, so it never
// outlives the script that started it.
#include "llmstub.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    LlmStub stub;
    for (const QString &argument : app.arguments().mid(1)) {
        const qsizetype equals = argument.indexOf('=');
        if (equals > 0)
            stub.setReply(argument.left(equals), argument.mid(equals + 1));
    }
    if (!stub.listen())
        return 1;
    std::printf("%s\n", qPrintable(stub.baseUrl()));
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&input] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });
    return app.exec();
}
