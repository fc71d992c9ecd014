#include "replycache.h"

#include "ai/aisettings.h"
#include "ai/promptcontract.h"
#include "common/rawenum.h"
#include "naming/renamerules.h"

#include <QCryptographicHash>
#include <QFile>

namespace {

constexpr qint64 ChunkSize = qint64(1) << 20;

} // namespace

namespace ReplyCache {

std::optional<QByteArray> contentHash(const QString &path, const std::atomic_bool *stop)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > LargestHashedFile)
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (stop && stop->load())
            return std::nullopt;
        const qint64 read = file.read(chunk.data(), ChunkSize);
        if (read < 0)
            return std::nullopt;
        if (read == 0)
            break;
        // A file that grows while it is read is hashed no further than the bound.
        if ((total += read) > LargestHashedFile)
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
