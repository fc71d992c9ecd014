#pragma once

#include "api/apicontext.h"
#include "api/apiroute.h"
#include "cli/backend.h"
#include "engine/renameengine.h"

#include <memory>

class ObjectStore;

/**
 * No app runs: the REST API's own handlers in this process, over the same core the app uses
 * (engine, store, providers, extraction helpers) and a QCoreApplication, so the command works
 * over SSH without a display. What needs the app (the queue, the window) answers 503 as the
 * API does without it.
 */
class LocalBackend final : public Backend
{
    Q_OBJECT

public:
    /** Opens the history store (settling renames a crash interrupted); nullptr with `problem` set when it cannot. */
    [[nodiscard]] static std::unique_ptr<LocalBackend> open(QString &problem);
    ~LocalBackend() override;

    [[nodiscard]] bool isApp() const override { return false; }
    [[nodiscard]] QString description() const override;
    BackendReply call(const QString &method, const QString &path, const QJsonObject &body = {}) override;

private:
    explicit LocalBackend(std::unique_ptr<ObjectStore> store);

    std::unique_ptr<ObjectStore> m_store;
    RenameEngine m_engine;
    APIContext m_context;
    QList<APIRoute> m_routes;
};
