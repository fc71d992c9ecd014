#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>

class Backend;
struct BackendReply;
class QCommandLineParser;

/**
 * The subcommands of `namorix-cli`: suggest, rename, undo, history and status. Each parses its own
 * options, sends the REST API's requests through a Backend and prints a table (or, with --json,
 * the API's objects). Ctrl+C ends an analysis and renames nothing; an apply under way finishes.
 */
class Commands final : public QObject
{
    Q_OBJECT

public:
    /** Exit codes: all done, some files failed (each named on standard error), usage error, Ctrl+C. */
    enum Exit { done = 0, someFailed = 1, usage = 2, interrupted = 130 };

    Commands();
    ~Commands() override;
    Q_DISABLE_COPY_MOVE(Commands)

    /** Runs the command line `arguments` (the program name first); returns the exit code. */
    int run(const QStringList &arguments);

    /** Ctrl+C or SIGTERM. */
    void interrupt();

Q_SIGNALS:
    void interruptReceived();

private:
    int suggestOrRename(const QStringList &arguments, bool rename);
    int undo(const QStringList &arguments);
    int history(const QStringList &arguments);
    int status(const QStringList &arguments);

    /** Parses; nullopt on success, else the exit code (help shown, or a usage error named). */
    std::optional<int> parse(QCommandLineParser &parser, const QStringList &arguments, const QString &command);
    /** The app or the headless core; false with the reason on standard error when neither works. */
    bool connectBackend();
    /**
     * Starts an analysis (POST /v1/runs) and follows that run alone until it is done, showing its
     * progress; its last reply (with the suggestions), or the refusal. Ctrl+C ends the run and
     * returns an empty reply.
     */
    BackendReply followRun(const QJsonObject &request);
    /** The pattern of the naming template `name`, or nullopt with the known names on standard error. */
    std::optional<QString> templatePattern(const QString &name);
    /** The answer typed on standard input; nullopt at its end or on Ctrl+C. */
    std::optional<QString> readAnswer();
    /** "datei: Grund" on standard error. */
    void fail(const QString &file, const QString &reason);
    void printJson(const QJsonObject &object);

    std::unique_ptr<Backend> m_backend;
    bool m_interrupted = false;
    bool m_json = false;
};
