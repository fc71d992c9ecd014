#pragma once

#include "cli/backend.h"

#include <optional>

class QIODevice;

/**
 * The running app's REST API: over its Unix-domain socket (no token needed, the kernel names
 * the caller), else over its loopback port with the token from the settings. One connection per
 * request, as the server closes each after its reply.
 */
class RemoteBackend final : public Backend
{
    Q_OBJECT

public:
    /** The app that answers GET /v1/health, or nullptr when none does; `problem` names a refusal. */
    [[nodiscard]] static std::unique_ptr<RemoteBackend> find(QString &problem);

    [[nodiscard]] bool isApp() const override { return true; }
    [[nodiscard]] QString description() const override;
    BackendReply call(const QString &method, const QString &path, const QJsonObject &body = {}) override;

private:
    RemoteBackend(QString socketPath, qint64 port, QString token);
    /** A connected socket, or nullptr. */
    [[nodiscard]] std::unique_ptr<QIODevice> open() const;
    /**
     * Sends and waits until the server closes, or `timeoutMs` pass (status -1); nullopt when the
     * app cannot be reached at all.
     */
    std::optional<BackendReply> exchange(const QString &method, const QString &path, const QJsonObject &body,
                                         int timeoutMs = -1);

    QString m_socketPath; ///< empty: over the port
    qint64 m_port = 0;
    QString m_token;
};
