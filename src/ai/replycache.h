#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <optional>

class AISettings;
class RenameRules;

/**
 * How a model's reply is found again for the same question: by the file's bytes (not its name or
 * place, so an identical copy counts as the same file) and everything else that shapes the reply.
 * The replies themselves are kept in the store.
 */
namespace ReplyCache {

/**
 * Larger files (recordings, mostly, whose prompt is a summary of tags) are asked each time:
 * reading them whole would cost more than the request.
 */
inline constexpr qint64 LargestHashedFile = qint64(1) << 30;

/**
 * SHA-256 of the bytes of the open regular file `descriptor` (opened the way extraction opens
 * files: no link followed, no FIFO awaited); nullopt when it cannot be read whole, is larger than
 * LargestHashedFile, or `stop` is set meanwhile. Reads the whole file: for a worker thread.
 */
[[nodiscard]] std::optional<QByteArray> contentHash(int descriptor, const std::atomic_bool *stop = nullptr);

/**
 * The key of the reply to a file with `contentHash`, asked as the settings would ask now: the
 * provider, its model and endpoint, the prompt's version and instructions (with the categories),
 * the template, and whether and what personal data is masked. Any change gives another key, so a
 * reply is never used after the user changed the provider or the model.
 */
[[nodiscard]] QString key(const QByteArray &contentHash, const AISettings &settings, const RenameRules &rules,
                          const std::optional<QString> &nameTemplate);

} // namespace ReplyCache
