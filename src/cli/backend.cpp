#include "cli/backend.h"

#include "cli/localbackend.h"
#include "cli/remotebackend.h"
#include "common/stringtable.h"

QString BackendReply::error() const
{
    if (status == 0)
        return StringTable::text("terminal.noReply");
    const QString message = json.value(QStringLiteral("error")).toString();
    // The core's gate, as the API states it for scripts: the user is told what to do.
    if (status == 403 && message == u"terms not accepted")
        return StringTable::text("terminal.termsMissing");
    return message.isEmpty() ? StringTable::text("terminal.httpStatus").arg(status) : message;
}

std::unique_ptr<Backend> Backend::connect(QString &problem)
{
    if (std::unique_ptr<RemoteBackend> app = RemoteBackend::find(problem))
        return app;
    if (!problem.isEmpty())
        return nullptr;
    return LocalBackend::open(problem);
}
