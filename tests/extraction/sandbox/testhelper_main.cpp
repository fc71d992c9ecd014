// namorix-extract-test: the extraction helper built from the same sources, with processors that
// misbehave on purpose, chosen by extension. Only the tests build it; the shipped helper has
// none of them and no switch that would reach them.
#include "extract/extractionhelper.h"
#include "extraction/fileprocessor.h"
#include "extraction/processortable.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

volatile long g_spin = 0;

// Reaches for the app (the helper's parent) or the system the way an exploited parser would, each
// harmless should it succeed: reads, the value already set, signal 0, a mount point that is not
// there. The call's result; nullopt for a verb of another kind.
std::optional<long> reachOut(const QByteArray &verb, const QByteArray &argument)
{
    const pid_t app = ::getppid();
    errno = 0;
    if (verb == "prlimit") {
        rlimit cpu = {};
        return ::prlimit(app, RLIMIT_CPU, nullptr, &cpu);
    }
    if (verb == "setpriority")
        return ::setpriority(PRIO_PROCESS, id_t(app), argument.toInt());
    if (verb == "sched_setaffinity") {
        cpu_set_t inherited; // the app's own
        if (::sched_getaffinity(0, sizeof inherited, &inherited) != 0)
            return -1;
        return ::sched_setaffinity(app, sizeof inherited, &inherited);
    }
    if (verb == "ptrace")
        return ::ptrace(PTRACE_SEIZE, app, nullptr, nullptr);
    if (verb == "process_vm_readv") {
        char byte = 0;
        iovec local{&byte, 1}, remote{&byte, 1};
        return ::process_vm_readv(app, &local, 1, &remote, 1, 0);
    }
    if (verb == "kill")
        return ::kill(app, 0);
    if (verb == "tgkill")
        return ::syscall(SYS_tgkill, app, app, 0);
    if (verb == "inet")
        return ::socket(AF_INET, SOCK_STREAM, 0);
    if (verb == "mount")
        return ::mount("none", "/namorix-gibt-es-nicht", "tmpfs", 0, nullptr);
    return std::nullopt;
}

// Ends the helper as a fault would, or keeps it busy for good.
void misbehave(const QString &how)
{
    if (how == u"crash") {
        std::signal(SIGSEGV, SIG_DFL); // as a fault would end it, also where a sanitizer watches
        std::raise(SIGSEGV);
    }
    if (how == u"hang")
        while (true)
            g_spin = g_spin + 1;
}

class Misbehaving final : public ExtensionProcessor
{
public:
    explicit Misbehaving(const QString &extension)
        : ExtensionProcessor({extension})
    {
    }

    ExtractionResult extractFrom(const SourceFile &file) const override
    {
        const QString how = lowerExtension(file.path());
        misbehave(how);
        if (how == u"alloc") {
            // Reserved, never touched: the address-space limit stops it long before the machine notices.
            std::vector<std::unique_ptr<char[]>> blocks;
            while (true)
                blocks.emplace_back(new char[64 << 20]);
        }
        return FileContext::make(file, QString(), attempts(file));
    }

private:
    // Each line of the file names an attempt ("write PATH", "read PATH", "socket", "exec PATH",
    // "fork", or one of reachOut's); each gives "verweigert" or "möglich" (or, for reachOut's,
    // the name of another error).
    static MetadataMap attempts(const SourceFile &file)
    {
        MetadataMap report;
        for (const QByteArray &line : file.read(64 * 1024).value_or(QByteArray()).split('\n')) {
            const qsizetype space = line.indexOf(' ');
            const QByteArray verb = line.left(space < 0 ? line.size() : space);
            QByteArray argument = space < 0 ? QByteArray() : line.mid(space + 1);
            if (verb.isEmpty())
                continue;
            bool possible = false;
            if (verb == "write" || verb == "read") {
                const int fd =
                    ::open(argument.constData(), verb == "write" ? O_WRONLY | O_CREAT | O_CLOEXEC : O_RDONLY);
                possible = fd >= 0;
                if (possible)
                    ::close(fd);
            } else if (verb == "socket") {
                const int inet = ::socket(AF_INET, SOCK_STREAM, 0), local = ::socket(AF_UNIX, SOCK_STREAM, 0);
                possible = inet >= 0 || local >= 0;
            } else if (verb == "exec") {
                char *const arguments[] = {argument.data(), nullptr};
                ::execv(argument.constData(), arguments); // returns only when refused
            } else if (verb == "fork") {
                const pid_t child = ::fork();
                if (child == 0)
                    ::_exit(0);
                possible = child > 0;
            } else if (const std::optional<long> outcome = reachOut(verb, argument)) {
                report.set(QString::fromUtf8(verb), *outcome >= 0    ? QStringLiteral("möglich")
                                                    : errno == EPERM ? QStringLiteral("verweigert")
                                                                     : QString::fromUtf8(strerrorname_np(errno)));
                continue;
            }
            report.set(QString::fromUtf8(verb), possible ? QStringLiteral("möglich") : QStringLiteral("verweigert"));
        }
        return report;
    }
};

const FileProcessor &processorFor(const QString &path)
{
    static const Misbehaving crash(QStringLiteral("crash")), hang(QStringLiteral("hang")),
        alloc(QStringLiteral("alloc")), escape(QStringLiteral("escape"));
    for (const Misbehaving *processor : {&crash, &hang, &alloc, &escape}) {
        if (processor->canProcess(path))
            return *processor;
    }
    return ProcessorTable::processorFor(path);
}

// Drawing misbehaves the same way, by the extension ("seite.crash" holding a PDF).
RenderResult render(const SourceFile &file, const RenderRequest &request)
{
    misbehave(lowerExtension(file.path()));
    return PreviewRenderer::render(file, request);
}

} // namespace

int main(int argc, char *argv[])
{
    return ExtractionHelper::run(argc, argv, &processorFor, &render);
}
