#include "extractionsandbox.h"

#include "common/processwide.h"
#include "common/stringtable.h"
#include "extraction/extractlog.h"
#include "extraction/sandbox/helperprotocol.h"

#include <QCborMap>
#include <QCoreApplication>
#include <QProcess>
#include <QPromise>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int HelperChannel = 3;
// An idle helper told to end that is still there after this is killed.
constexpr std::chrono::seconds EndingGrace{5};

QString &sharedHelperProgram()
{
    static QString program;
    return program;
}

QString unreadable(const QString &why)
{
    return StringTable::text("extract.unreadable").arg(why);
}

// Why a helper ended by itself, from how it ended.
QString endingReason(QProcess::ExitStatus status, int code)
{
    if (status == QProcess::NormalExit)
        return StringTable::text("extract.helperExited").arg(code);
    if (code == SIGXCPU)
        return StringTable::text("extract.cpuLimit");
    if (code == SIGKILL || code == SIGTERM || code == SIGINT || code == SIGHUP)
        return StringTable::text("extract.helperKilled").arg(code);
    return StringTable::text("extract.helperCrashed").arg(code);
}

// What the libraries need to find their data and speak the user's language; nothing else of the
// app's environment (tokens some users keep there) reaches a process that reads untrusted files.
QProcessEnvironment helperEnvironment()
{
    static const QProcessEnvironment environment = [] {
        const QStringList kept =
            u"HOME LANG LANGUAGE TZ XDG_CACHE_HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_DATA_DIRS "
            u"XDG_CONFIG_DIRS FONTCONFIG_FILE FONTCONFIG_PATH TESSDATA_PREFIX QT_PLUGIN_PATH "
            u"LD_LIBRARY_PATH ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS NAMORIX_SECCOMP_TRACE"_s.split(u' ');
        const QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
        QProcessEnvironment helper;
        for (const QString &name : all.keys()) {
            if (kept.contains(name) || name.startsWith(u"LC_"))
                helper.insert(name, all.value(name));
        }
        // Recognition on one thread is several times faster on small machines; see processenvironment.h.
        helper.insert(u"OMP_THREAD_LIMIT"_s, u"1"_s);
        return helper;
    }();
    return environment;
}

} // namespace

struct ExtractionSandbox::Job {
    qint64 id = 0;
    SourceFile file{QString()};
    std::shared_ptr<std::atomic_bool> stop;
    std::optional<RenderRequest> render; ///< set for a preview's page or picture
    QPromise<ExtractionResult> promise;
    QPromise<RenderResult> rendering;

    [[nodiscard]] bool isStopped() const { return stop && stop->load(); }
};

struct ExtractionSandbox::Helper {
    enum class State { starting, ready, busy, ending };

    QProcess *process = nullptr;
    int socket = -1;
    QSocketNotifier *notifier = nullptr;
    QTimer *deadline = nullptr; ///< the running file's limit; for an ending helper, its grace
    QTimer *idle = nullptr;
    QByteArray inbox;
    State state = State::starting;
    std::unique_ptr<Job> job;
    std::chrono::seconds limit{0}; ///< the running job's wall-clock limit
    QString path;                  ///< of the running file
    QString verdict;               ///< why the app ended it, if it did

    ~Helper()
    {
        if (notifier)
            notifier->setEnabled(false); // before its socket closes
        for (QObject *part : std::initializer_list<QObject *>{notifier, deadline, idle, process}) {
            if (part) {
                part->disconnect();
                part->deleteLater();
            }
        }
        if (socket >= 0)
            ::close(socket);
    }
};

ExtractionSandbox::ExtractionSandbox(QString helperProgram, Limits limits, QObject *parent)
    : QObject(parent)
    , m_program(std::move(helperProgram))
    , m_limits(limits)
    , m_maxHelpers(limits.helpers > 0 ? limits.helpers : std::max(1, QThread::idealThreadCount()))
    , m_state(SandboxState::probe())
{
    report(m_state);
}

ExtractionSandbox::~ExtractionSandbox()
{
    for (const std::unique_ptr<Helper> &helper : m_helpers) {
        if (helper->job)
            fail(std::move(helper->job), StringTable::text("extract.helperStopped"));
        if (helper->process) {
            helper->process->disconnect();
            // What QProcess's destructor would do anyway, without its warning; SIGKILL ends it at once.
            helper->process->kill();
            helper->process->waitForFinished(1000);
        }
    }
    while (!m_queue.empty()) {
        fail(std::move(m_queue.front()), StringTable::text("extract.helperStopped"));
        m_queue.pop_front();
    }
}

ExtractionSandbox &ExtractionSandbox::shared()
{
    return processWide<ExtractionSandbox>([] {
        const QString program = sharedHelperProgram().isEmpty()
                                    ? QCoreApplication::applicationDirPath() + QStringLiteral("/namorix-extract")
                                    : sharedHelperProgram();
        return new ExtractionSandbox(program);
    });
}

void ExtractionSandbox::setSharedHelper(const QString &program)
{
    sharedHelperProgram() = program;
}

QFuture<ExtractionResult> ExtractionSandbox::extract(SourceFile file, std::shared_ptr<std::atomic_bool> stop)
{
    auto job = std::make_unique<Job>();
    job->id = m_nextId++;
    job->file = std::move(file);
    job->stop = std::move(stop);
    job->promise.start();
    QFuture<ExtractionResult> result = job->promise.future();
    m_queue.push_back(std::move(job));
    dispatch();
    return result;
}

QFuture<RenderResult> ExtractionSandbox::render(SourceFile file, RenderRequest request,
                                                std::shared_ptr<std::atomic_bool> stop)
{
    auto job = std::make_unique<Job>();
    job->id = m_nextId++;
    job->file = std::move(file);
    job->stop = std::move(stop);
    job->render = request;
    job->rendering.start();
    QFuture<RenderResult> result = job->rendering.future();
    // Before the files of an analysis: the user is looking at it.
    m_queue.push_front(std::move(job));
    dispatch();
    return result;
}

void ExtractionSandbox::stopCancelled()
{
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if ((*it)->isStopped()) {
            cancel(std::move(*it));
            it = m_queue.erase(it);
        } else {
            ++it;
        }
    }
    for (const std::unique_ptr<Helper> &helper : m_helpers) {
        if (helper->job && helper->job->isStopped()) {
            cancel(std::move(helper->job));
            end(*helper, {});
        }
    }
    // A helper still starting for work that is gone would sit idle for a minute after a cancel.
    qsizetype wanted = qsizetype(m_queue.size());
    for (const std::unique_ptr<Helper> &helper : m_helpers) {
        if (helper->state == Helper::State::starting && wanted-- <= 0)
            end(*helper, {});
    }
    dispatch();
}

void ExtractionSandbox::finish(std::unique_ptr<Job> job, const ExtractionResult &result)
{
    job->promise.addResult(result);
    job->promise.finish();
}

void ExtractionSandbox::finish(std::unique_ptr<Job> job, const RenderResult &result)
{
    job->rendering.addResult(result);
    job->rendering.finish();
}

void ExtractionSandbox::fail(std::unique_ptr<Job> job, const QString &why)
{
    if (job->render)
        finish(std::move(job), RenderResult(std::unexpected(ExtractionError{why})));
    else
        finish(std::move(job), ExtractionResult(std::unexpected(ExtractionError{unreadable(why)})));
}

void ExtractionSandbox::cancel(std::unique_ptr<Job> job)
{
    const ExtractionError cancelled{StringTable::text("run.cancelled")};
    if (job->render)
        finish(std::move(job), RenderResult(std::unexpected(cancelled)));
    else
        finish(std::move(job), ExtractionResult(std::unexpected(cancelled)));
}

bool ExtractionSandbox::mayTake(const Job &job) const
{
    // A render may use the helper beyond the limit; files take only as many as the limit allows.
    return job.render || std::ranges::count_if(m_helpers, [](const std::unique_ptr<Helper> &h) {
                             return h->state == Helper::State::busy && h->job && !h->job->render;
                         }) < m_maxHelpers;
}

void ExtractionSandbox::dispatch()
{
    for (const std::unique_ptr<Helper> &helper : m_helpers) {
        while (helper->state == Helper::State::ready && !m_queue.empty()) {
            if (m_queue.front()->isStopped()) {
                cancel(std::move(m_queue.front()));
                m_queue.pop_front();
                continue;
            }
            if (!mayTake(*m_queue.front()))
                break;
            std::unique_ptr<Job> job = std::move(m_queue.front());
            m_queue.pop_front();
            assign(*helper, std::move(job));
        }
    }
    const auto count = [this](auto predicate) { return std::ranges::count_if(m_helpers, predicate); };
    qsizetype starting = count([](const auto &h) { return h->state == Helper::State::starting; });
    qsizetype working = count([](const auto &h) { return h->state != Helper::State::ending; });
    const bool rendering = !m_queue.empty() && m_queue.front()->render;
    while (qsizetype(m_queue.size()) > starting && working < m_maxHelpers + (rendering ? 1 : 0)) {
        if (!spawn())
            return;
        ++starting;
        ++working;
    }
}

bool ExtractionSandbox::spawn()
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        const QString why =
            StringTable::text("extract.helperNotStarted").arg(QString::fromLocal8Bit(std::strerror(errno)));
        while (!m_queue.empty()) {
            fail(std::move(m_queue.front()), why);
            m_queue.pop_front();
        }
        return false;
    }
    const int ours = pair[0], theirs = pair[1];
    ::fcntl(ours, F_SETFL, ::fcntl(ours, F_GETFL) | O_NONBLOCK);

    auto owned = std::make_unique<Helper>();
    Helper &helper = *owned;
    helper.socket = ours;
    helper.process = new QProcess(this);
    helper.deadline = new QTimer(this);
    helper.deadline->setSingleShot(true);
    helper.idle = new QTimer(this);
    helper.idle->setSingleShot(true);
    helper.idle->setInterval(m_limits.idleRelease);
    m_helpers.push_back(std::move(owned));

    QProcess &process = *helper.process;
    process.setProgram(m_program);
    process.setProcessEnvironment(helperEnvironment());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // In the child between fork and exec: only async-signal-safe calls.
    process.setChildProcessModifier([theirs] {
        if (theirs == HelperChannel)
            ::fcntl(HelperChannel, F_SETFD, 0);
        else
            ::dup2(theirs, HelperChannel);
    });
    connect(&process, &QProcess::finished, this, [this, &helper](int code, QProcess::ExitStatus status) {
        if (helper.job && helper.verdict.isEmpty())
            qCInfo(lcExtract, "helper ended while reading %s (%s %d): the next file gets a fresh helper",
                   qUtf8Printable(helper.path), status == QProcess::NormalExit ? "exit status" : "signal", code);
        onEnded(helper, endingReason(status, code));
    });
    connect(&process, &QProcess::errorOccurred, this, [this, &helper](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onEnded(helper, StringTable::text("extract.helperNotStarted").arg(m_program));
    });
    connect(helper.deadline, &QTimer::timeout, this, [this, &helper] {
        if (helper.state == Helper::State::ending) {
            helper.process->kill();
            return;
        }
        qCInfo(lcExtract, "helper ended: %s took longer than its time limit", qUtf8Printable(helper.path));
        end(helper, StringTable::text("extract.timeLimit").arg(helper.limit.count()));
        dispatch();
    });
    connect(helper.idle, &QTimer::timeout, this, [this, &helper] {
        if (helper.state != Helper::State::ready)
            return;
        // It reads the end of its socket and ends by itself; the grace timer is there if it does not.
        helper.state = Helper::State::ending;
        ::shutdown(helper.socket, SHUT_RDWR);
        helper.deadline->start(EndingGrace);
    });
    qCDebug(lcExtract, "starting a helper (%lld now)", qint64(m_helpers.size()));
    process.start();
    ::close(theirs);
    if (helper.state == Helper::State::ending)
        return true; // failed to start; already accounted for

    const QCborMap hello{{u"type"_s, QString(HelperProtocol::Type::hello)},
                         {u"version"_s, HelperProtocol::Version},
                         {u"addressSpace"_s, m_limits.addressSpace},
                         // The wall-clock limit comes first; this one stops a helper the app no longer watches.
                         {u"cpuSeconds"_s, qint64(m_limits.perFile.count()) + 10}};
    (void)HelperProtocol::send(ours, HelperProtocol::frame(hello)); // a helper that is gone is seen ending
    helper.notifier = new QSocketNotifier(ours, QSocketNotifier::Read, this);
    connect(helper.notifier, &QSocketNotifier::activated, this, [this, &helper] { onReadable(helper); });
    return true;
}

void ExtractionSandbox::assign(Helper &helper, std::unique_ptr<Job> job)
{
    const QCborMap request = job->render ? HelperProtocol::encodeRender(job->id, job->file.path(), *job->render)
                                         : QCborMap{{u"type"_s, QString(HelperProtocol::Type::extract)},
                                                    {u"id"_s, job->id},
                                                    {u"path"_s, job->file.path()}};
    if (!HelperProtocol::send(helper.socket, HelperProtocol::frame(request), job->file.descriptor())) {
        m_queue.push_front(std::move(job)); // it never got there: the next helper takes it
        end(helper, {});
        return;
    }
    helper.path = job->file.path();
    job->file = SourceFile(helper.path); // the helper has its own descriptor now
    helper.job = std::move(job);
    helper.state = Helper::State::busy;
    helper.limit = helper.job->render ? m_limits.perRender : m_limits.perFile;
    helper.idle->stop();
    helper.deadline->start(helper.limit);
}

void ExtractionSandbox::onReadable(Helper &helper)
{
    while (helper.state != Helper::State::ending) {
        QList<int> descriptors;
        const HelperProtocol::Received received = HelperProtocol::receive(helper.socket, helper.inbox, descriptors);
        for (const int descriptor : std::as_const(descriptors))
            ::close(descriptor); // a helper has nothing to hand over
        if (received == HelperProtocol::Received::wouldBlock)
            return;
        if (received == HelperProtocol::Received::closed) {
            helper.notifier->setEnabled(false); // how it ended comes with the process's end
            return;
        }
        QCborMap message;
        HelperProtocol::Take taken;
        while ((taken = HelperProtocol::takeMessage(helper.inbox, message)) == HelperProtocol::Take::message) {
            if (!handle(helper, message)) {
                taken = HelperProtocol::Take::invalid;
                break;
            }
            if (helper.state == Helper::State::ending)
                break;
        }
        if (taken == HelperProtocol::Take::invalid) {
            qCWarning(lcExtract, "helper ended: its reply on %s was invalid", qUtf8Printable(helper.path));
            end(helper, StringTable::text("extract.invalidReply"));
            dispatch();
            return;
        }
    }
}

bool ExtractionSandbox::handle(Helper &helper, const QCborMap &message)
{
    const QString type = message.value(u"type"_s).toString();
    if (type == HelperProtocol::Type::ready && helper.state == Helper::State::starting) {
        if (message.value(u"version"_s).toInteger() != HelperProtocol::Version)
            return false;
        report({int(message.value(u"landlock"_s).toInteger()), message.value(u"seccomp"_s).toBool()});
        becomeIdle(helper);
        dispatch();
        return true;
    }
    if (helper.state != Helper::State::busy || message.value(u"id"_s).toInteger() != helper.job->id)
        return false;
    if (type == HelperProtocol::Type::memory) {
        qCInfo(lcExtract, "helper ended: %s took more memory than its limit", qUtf8Printable(helper.path));
        end(helper, StringTable::text("extract.memoryLimit"));
        dispatch();
        return true;
    }
    if (helper.job->render) {
        if (type != HelperProtocol::Type::rendered)
            return false;
        const std::optional<RenderResult> drawn = HelperProtocol::decodeRendered(message, *helper.job->render);
        if (!drawn)
            return false;
        finish(std::move(helper.job), *drawn);
    } else {
        if (type != HelperProtocol::Type::result)
            return false;
        const std::optional<ExtractionResult> result = HelperProtocol::decodeResult(message, helper.path);
        if (!result)
            return false;
        finish(std::move(helper.job), *result);
    }
    becomeIdle(helper);
    dispatch();
    return true;
}

void ExtractionSandbox::becomeIdle(Helper &helper)
{
    helper.state = Helper::State::ready;
    helper.deadline->stop();
    helper.idle->start();
}

void ExtractionSandbox::end(Helper &helper, const QString &reason)
{
    if (helper.job)
        fail(std::move(helper.job), reason);
    helper.verdict = reason;
    helper.state = Helper::State::ending;
    helper.idle->stop();
    helper.deadline->stop();
    if (helper.notifier)
        helper.notifier->setEnabled(false);
    helper.process->kill();
}

void ExtractionSandbox::onEnded(Helper &helper, const QString &ending)
{
    const QString reason = helper.verdict.isEmpty() ? ending : helper.verdict;
    if (helper.job)
        fail(std::move(helper.job), reason);
    // One that never got ready would fail again the same way: the waiting files fail now, and
    // the next file tries anew.
    if (helper.state == Helper::State::starting) {
        qCWarning(lcExtract).noquote().nospace()
            << m_program << ": " << reason << " (" << helper.process->errorString() << ')';
        while (!m_queue.empty()) {
            fail(std::move(m_queue.front()), reason);
            m_queue.pop_front();
        }
    }
    helper.state = Helper::State::ending;
    helper.verdict = reason;
    // Not at once: this may run inside QProcess::start, which still holds the helper.
    QMetaObject::invokeMethod(
        this,
        [this, ended = &helper] {
            std::erase_if(m_helpers, [ended](const std::unique_ptr<Helper> &h) { return h.get() == ended; });
            dispatch();
        },
        Qt::QueuedConnection);
}

void ExtractionSandbox::report(const SandboxState &state)
{
    static bool toldLimited = false;
    if (!state.isComplete() && !toldLimited) {
        toldLimited = true;
        qCWarning(lcExtract,
                  "sandbox limited (%s): the helpers run as processes of their own with their limits, "
                  "but without this protection",
                  state.landlockABI < 1 && !state.seccomp ? "no Landlock, no seccomp"
                  : state.landlockABI < 1                 ? "no Landlock"
                                                          : "no seccomp");
    }
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged();
}
