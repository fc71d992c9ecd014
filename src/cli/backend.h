#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <memory>

/** One reply of the REST API: its status and JSON object; status 0 when none came (cancelled, cut off). */
struct BackendReply {
    int status = 0;
    QJsonObject json;

    [[nodiscard]] bool ok() const { return status == 200; }
    /**
     * The reply's "error", or a German text for a reply that never came; the refusal before the
     * terms are accepted (403 "terms not accepted") as the German sentence that says what to do.
     */
    [[nodiscard]] QString error() const;
};

/**
 * What the terminal command talks to: the REST API of the running app, or, when none runs, the
 * same API's handlers in this process over the core (headless). Either way the command sends the
 * API's requests and gets its JSON objects, so both paths apply the same rules and `--json`
 * prints the same objects.
 */
class Backend : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /** The running app when one answers, else the core in this process; nullptr with `problem` set when neither works.
     */
    [[nodiscard]] static std::unique_ptr<Backend> connect(QString &problem);

    /** Whether the running app serves the requests. */
    [[nodiscard]] virtual bool isApp() const = 0;
    /** Where the requests go, for `status` (German). */
    [[nodiscard]] virtual QString description() const = 0;
    /** Sends one request and returns its reply; the event loop runs meanwhile. */
    [[nodiscard]] virtual BackendReply call(const QString &method, const QString &path,
                                            const QJsonObject &body = {}) = 0;
};
