#include "extractionhelper.h"

#include "common/processenvironment.h"
#include "common/stringtable.h"
#include "extract/confinement.h"
#include "extraction/fileprocessor.h"
#include "extraction/sandbox/helperprotocol.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <exception>
#include <new>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ExtractionHelper {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int Channel = 3;

enum ExitCode { Done = 0, NotAHelper = 2, NoHello = 3, BadRequest = 4, OutOfMemory = 5 };

// Made before each file, so that nothing needs memory once it has run out.
QByteArray g_memoryFailure;

// A failed allocation where no handler catches it (a destructor, a noexcept function) still
// tells the app why before the helper ends.
[[noreturn]] void onTerminate()
{
    try {
        if (const std::exception_ptr current = std::current_exception())
            std::rethrow_exception(current);
    } catch (const std::bad_alloc &) {
        (void)HelperProtocol::send(Channel, g_memoryFailure);
    } catch (...) {
    }
    std::abort();
}

void closeAll(QList<int> &descriptors)
{
    for (const int descriptor : std::as_const(descriptors))
        ::close(descriptor);
    descriptors.clear();
}

// The next whole message; false when the app has closed its end or sent something unreadable.
bool readMessage(QByteArray &buffer, QList<int> &descriptors, QCborMap &message)
{
    while (true) {
        switch (HelperProtocol::takeMessage(buffer, message)) {
        case HelperProtocol::Take::message:
            return true;
        case HelperProtocol::Take::invalid:
            return false;
        case HelperProtocol::Take::incomplete:
            break;
        }
        if (HelperProtocol::receive(Channel, buffer, descriptors) != HelperProtocol::Received::bytes)
            return false;
    }
}

} // namespace

int run(int argc, char *argv[], ProcessorLookup processorFor, Renderer render)
{
    struct stat channel = {};
    if (::fstat(Channel, &channel) != 0 || !S_ISSOCK(channel.st_mode)) {
        std::fputs("namorix-extract: runs only as a helper of Namorix, which starts it\n", stderr);
        return NotAHelper;
    }
    // Nothing of the app's but the channel and the standard streams.
    ::syscall(SYS_close_range, Channel + 1, ~0U, 0);
    // Ends with the app, even when the app is killed.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::signal(SIGPIPE, SIG_IGN);
    // Under the file-size limit a write to a log file fails instead of ending the helper.
    std::signal(SIGXFSZ, SIG_IGN);
    // As in the app: large buffers go straight back to the system when freed.
    releaseLargeBuffersPromptly();

    // Before the lock: the application object reads the environment and finds the plugins.
    QCoreApplication app(argc, argv);
    // Here, before the lock and on this thread: the processors' words come from the string table.
    StringTable::install();
    QByteArray buffer;
    QList<int> descriptors;
    QCborMap hello;
    if (!readMessage(buffer, descriptors, hello) || hello.value(u"type"_s).toString() != HelperProtocol::Type::hello ||
        hello.value(u"version"_s).toInteger() != HelperProtocol::Version)
        return NoHello;
    closeAll(descriptors);
    const int cpuSeconds = int(hello.value(u"cpuSeconds"_s).toInteger(60));
    Confinement::limitResources(hello.value(u"addressSpace"_s).toInteger());
    const SandboxState state = Confinement::lockIn(Confinement::readableTrees());
    const QCborMap ready{{u"type"_s, QString(HelperProtocol::Type::ready)},
                         {u"version"_s, HelperProtocol::Version},
                         {u"landlock"_s, state.landlockABI},
                         {u"seccomp"_s, state.seccomp}};
    if (!HelperProtocol::send(Channel, HelperProtocol::frame(ready)))
        return Done;
    std::set_terminate(&onTerminate);

    while (true) {
        QCborMap request;
        if (!readMessage(buffer, descriptors, request))
            return Done; // the app has closed its end
        const QCborValue id = request.value(u"id"_s), path = request.value(u"path"_s);
        const QString type = request.value(u"type"_s).toString();
        const std::optional<RenderRequest> drawing =
            type == HelperProtocol::Type::render ? HelperProtocol::decodeRender(request) : std::nullopt;
        if ((type != HelperProtocol::Type::extract && !drawing) || !id.isInteger() || !path.isString() ||
            descriptors.size() > 1) {
            closeAll(descriptors);
            return BadRequest;
        }
        // Without a descriptor the app could not open the file: the processor answers from its name.
        const SourceFile file =
            descriptors.isEmpty() ? SourceFile(path.toString()) : SourceFile(path.toString(), descriptors.takeFirst());
        g_memoryFailure =
            HelperProtocol::frame({{u"type"_s, QString(HelperProtocol::Type::memory)}, {u"id"_s, id.toInteger()}});
        Confinement::limitCpuFromNow(cpuSeconds);
        QByteArray reply;
        try {
            reply = HelperProtocol::frame(
                drawing ? HelperProtocol::encodeRendered(id.toInteger(), render(file, *drawing))
                        : HelperProtocol::encodeResult(id.toInteger(), processorFor(file.path()).extractFrom(file)));
        } catch (const std::bad_alloc &) {
            // The heap may be left in any state: say why and make room for a fresh helper.
            (void)HelperProtocol::send(Channel, g_memoryFailure);
            return OutOfMemory;
        }
        if (!HelperProtocol::send(Channel, reply))
            return Done;
    }
}

} // namespace ExtractionHelper
