#pragma once

#include "commandline.h"

#include <QList>
#include <QObject>
#include <QUrl>

class QLocalServer;
class QLocalSocket;

/**
 * One Namorix per user: the first process listens on a local socket in $XDG_RUNTIME_DIR; a later
 * `namorix ARGS…` hands its arguments over and ends. Handed-over and the first process's own
 * arguments come out as the same signals. Receiving never blocks the GUI thread.
 */
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    /** At most this many bytes are read from one later start. */
    static constexpr qint64 MaxMessageBytes = 1 << 20;

    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject *parent = nullptr);
    ~SingleInstance() override;
    Q_DISABLE_COPY_MOVE(SingleInstance)

    /**
     * `$XDG_RUNTIME_DIR/namorix.socket` (private to the user), else `namorix.socket` in a folder of
     * ours (0700, checked) in the temporary folder; empty when neither is private, and then there is
     * no single instance. Both ends check that the other runs as this user.
     */
    [[nodiscard]] static QString defaultSocketPath();

    /**
     * In a later process, before any window: gives `arguments` to the running Namorix and says
     * whether it took them. Waits at most about a second per step; false when none runs.
     */
    [[nodiscard]] bool handOver(const LaunchArguments &arguments);
    /** Becomes the running Namorix: takes over a socket a crashed one left behind and listens. */
    bool listen();
    /** As if these arguments had been handed over: the first process's own. */
    void deliver(const LaunchArguments &arguments);

Q_SIGNALS:
    /** Someone started Namorix again (not with --hidden): the window should come to the front. */
    void activationRequested();
    /** Files, folders or a rename URL's files to analyse in the files section (may be empty). */
    void analysisRequested(const QList<QUrl> &inputs);

private:
    void accept();
    void receive(const QByteArray &message);

    const QString m_socketPath;
    QLocalServer *m_server = nullptr;
};
