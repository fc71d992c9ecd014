#pragma once

#include "extraction/extractionresult.h"
#include "extraction/sandbox/rendering.h"
#include "extraction/sandbox/sandboxstate.h"
#include "extraction/sourcefile.h"

#include <QFuture>
#include <QObject>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <vector>

class QCborMap;

/** What the app allows each extraction helper. */
struct SandboxLimits {
    std::chrono::seconds perFile{60};         ///< wall-clock time for one file
    std::chrono::seconds perRender{10};       ///< for one preview: a longer wait is no preview
    qint64 addressSpace = qint64(1536) << 20; ///< bytes of address space of a helper
    std::chrono::milliseconds idleRelease = std::chrono::minutes(1);
    int helpers = 0; ///< at most this many at once; 0: one per core
};

/**
 * The helper processes that read files for the app (`namorix-extract`). A file goes to a helper
 * as an open descriptor; the helper has locked itself in (see Confinement) before it reads it.
 * At most one helper per core runs, started when work arrives and ended after an idle minute.
 * Every file has a wall-clock limit; a helper that crashes, is killed, exceeds a limit or stops
 * answering is replaced, and only its file fails, with a German reason that says which.
 *
 * The preview's pages and pictures are drawn by the same helpers under the same limits. A
 * render goes before the files waiting for extraction and may take one helper beyond the
 * limit, so that a preview does not wait for an analysis.
 *
 * Lives on the GUI thread and never blocks it: sockets are non-blocking and watched by the
 * event loop, results arrive as futures.
 */
class ExtractionSandbox final : public QObject
{
    Q_OBJECT

public:
    using Limits = SandboxLimits;

    explicit ExtractionSandbox(QString helperProgram, Limits limits = {}, QObject *parent = nullptr);
    ~ExtractionSandbox() override;
    Q_DISABLE_COPY_MOVE(ExtractionSandbox)

    /** The app's helpers: `namorix-extract` beside the application binary, unless `setSharedHelper` named another. */
    [[nodiscard]] static ExtractionSandbox &shared();
    /** The program the shared helpers run; for executables that live apart from the app (tests), before first use. */
    static void setSharedHelper(const QString &program);

    /**
     * The content of `file`, read by a helper (one that is not open is answered by the
     * processor from its name). A failure of the helper fails this file alone ("Datei konnte
     * nicht gelesen werden: …"). Once `*stop` is true, stopCancelled ends it.
     */
    [[nodiscard]] QFuture<ExtractionResult> extract(SourceFile file, std::shared_ptr<std::atomic_bool> stop = {});

    /**
     * A page of the open `file` (a PDF) or the picture it holds, drawn by a helper. Fails with the
     * helper's German reason: what it could not draw, or how it ended (crash, time or memory
     * limit). A render whose `*stop` is true before a helper takes it is dropped.
     */
    [[nodiscard]] QFuture<RenderResult> render(SourceFile file, RenderRequest request,
                                               std::shared_ptr<std::atomic_bool> stop = {});

    /** Ends every extraction whose stop flag is set: waiting ones are dropped, running ones' helpers ended. */
    void stopCancelled();

    /** What the helpers report of their locks; before the first one has, what the kernel offers. */
    [[nodiscard]] SandboxState state() const { return m_state; }
    /** Helper processes not yet ended. */
    [[nodiscard]] int liveHelpers() const { return int(m_helpers.size()); }
    [[nodiscard]] const Limits &limits() const { return m_limits; }

Q_SIGNALS:
    void stateChanged();

private:
    struct Job;
    struct Helper;

    void dispatch();
    [[nodiscard]] bool spawn();
    void assign(Helper &helper, std::unique_ptr<Job> job);
    void onReadable(Helper &helper);
    [[nodiscard]] bool handle(Helper &helper, const QCborMap &message);
    void onEnded(Helper &helper, const QString &ending);
    /** Ends `helper` (SIGKILL); its job, if it still has one, fails with `reason`. */
    void end(Helper &helper, const QString &reason);
    void becomeIdle(Helper &helper);
    void report(const SandboxState &state);
    void finish(std::unique_ptr<Job> job, const ExtractionResult &result);
    void finish(std::unique_ptr<Job> job, const RenderResult &result);
    /** Fails `job` because of its helper: `why` says how it ended. */
    void fail(std::unique_ptr<Job> job, const QString &why);
    void cancel(std::unique_ptr<Job> job);
    [[nodiscard]] bool mayTake(const Job &job) const;

    const QString m_program;
    const Limits m_limits;
    const int m_maxHelpers;
    SandboxState m_state;
    qint64 m_nextId = 1;
    std::deque<std::unique_ptr<Job>> m_queue;
    std::vector<std::unique_ptr<Helper>> m_helpers;
};
