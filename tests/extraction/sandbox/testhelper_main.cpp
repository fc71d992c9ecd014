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
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

volatile long g_spin = 0;

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
        if (how == u"crash") {
            std::signal(SIGSEGV, SIG_DFL); // as a fault would end it, also where a sanitizer watches
            std::raise(SIGSEGV);
        }
        if (how == u"hang")
            while (true)
                g_spin = g_spin + 1;
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
    // "fork"); each gives "verweigert" or "möglich".
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

} // namespace

int main(int argc, char *argv[])
{
    return ExtractionHelper::run(argc, argv, &processorFor);
}
