#include "replycache.h"

#include "ai/aisettings.h"
#include "ai/promptcontract.h"
#include "common/rawenum.h"
#include "naming/renamerules.h"

#include <QCryptographicHash>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 ChunkSize = qint64(1) << 20;

} // namespace

namespace ReplyCache {

std::optional<QByteArray> contentHash(int descriptor, const std::atomic_bool *stop)
{
    struct stat info = {};
    if (descriptor < 0 || ::fstat(descriptor, &info) != 0 || info.st_size > LargestHashedFile)
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    for (off_t at = 0;;) {
        if (stop && stop->load())
            return std::nullopt;
        const ssize_t read = ::pread(descriptor, chunk.data(), size_t(ChunkSize), at);
        if (read < 0)
            return std::nullopt;
        if (read == 0)
            break;
        // A file that grows while it is read is hashed no further than the bound.
        if ((at += read) > LargestHashedFile)
            return std::nullopt;
        hash.addData(QByteArrayView(chunk.constData(), read));
    }
    return hash.result();
}

QString key(const QByteArray &contentHash, const AISettings &settings, const RenameRules &rules,
            const std::optional<QString> &nameTemplate)
{
    // Each part is length-prefixed: no two different sets of parts hash the same bytes.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto add = [&hash](const QByteArray &part) {
        hash.addData(QByteArray::number(part.size()) + ':');
        hash.addData(part);
    };
    add(contentHash);
    add(QByteArray::number(PromptContract::Version));
    add(rawValue(settings.provider()).toUtf8());
    add(settings.effectiveModel().toUtf8());
    add(settings.effectiveEndpoint().toUtf8());
    add(PromptContract::buildSystemPrompt(rules.categories()).toUtf8());
    add(nameTemplate ? QByteArray("template:") + nameTemplate->toUtf8() : QByteArray("no template"));
    add(settings.maskPersonalData() ? QByteArray("masked:") + settings.ownDetails().join(u'\n').toUtf8()
                                    : QByteArray("unmasked"));
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace ReplyCache
