#pragma once

#include "extraction/extractionresult.h"
#include "extraction/sandbox/rendering.h"

#include <QByteArray>
#include <QCborMap>

#include <optional>

/**
 * What the app and an extraction helper say to each other over their socket pair: messages of
 * CBOR maps, each framed by its length (4 bytes, big-endian). A file goes to the helper as an
 * open descriptor attached to its request, never as a path to open.
 *
 *   app → helper   {"type": "hello", "version", "addressSpace", "cpuSeconds"}   once, first
 *   helper → app   {"type": "ready", "version", "landlock", "seccomp"}          once locked in
 *   app → helper   {"type": "extract", "id", "path"} + descriptor              one at a time
 *                  (no descriptor: the app could not open the file; the processor answers for it)
 *   helper → app   {"type": "result", "id", "context" | "error"}
 *   app → helper   {"type": "render", "id", "path", "kind", "page", "width", "height"} + descriptor
 *   helper → app   {"type": "rendered", "id", "pages", "width", "height", "pixels" | "error"}
 *   helper → app   {"type": "memory", "id"}   an allocation failed; the helper then ends
 *
 * The path names the file (dispatch, the context's name); the helper never opens it. A context
 * is {"size", "text", "metadata", and optionally "created", "modified", "invoice"}; an invoice is
 * {"syntax", "number", "typeCode", "sellerName", "sellerVatId", "currency", "attachmentName", and
 * optionally "issueDate" (ISO text), "totalCents"}.
 *
 * A render's kind is "pdf" or "picture"; its reply is the drawn image as plain pixels (32-bit
 * premultiplied ARGB in this machine's order, rows without padding), no larger than the request's
 * width and height. Plain pixels, not an image format: the app decodes nothing a helper sends.
 */
namespace HelperProtocol {

inline constexpr qint64 Version = 1;
/** No message is longer: a request is a path, a reply a few excerpts of text or one rendering. */
inline constexpr qint64 MaxMessageBytes = RenderRequest::MaxPixels * 4 + 64 * 1024;

namespace Type {
inline constexpr QLatin1StringView hello{"hello"};
inline constexpr QLatin1StringView ready{"ready"};
inline constexpr QLatin1StringView extract{"extract"};
inline constexpr QLatin1StringView result{"result"};
inline constexpr QLatin1StringView render{"render"};
inline constexpr QLatin1StringView rendered{"rendered"};
inline constexpr QLatin1StringView memory{"memory"};
} // namespace Type

/** `message` with its length in front. */
[[nodiscard]] QByteArray frame(const QCborMap &message);

enum class Take {
    message,    ///< one message was taken off the front of the buffer
    incomplete, ///< more bytes are needed
    invalid,    ///< the length is out of bounds or the bytes are no CBOR map
};
/** Takes the first whole message off the front of `buffer` into `message`. */
[[nodiscard]] Take takeMessage(QByteArray &buffer, QCborMap &message);

[[nodiscard]] QCborMap encodeResult(qint64 id, const ExtractionResult &result);
/**
 * The result a reply carries; nullopt when it is malformed. Name and extension are taken from
 * `path`, the one the app asked about, whatever the reply says.
 */
[[nodiscard]] std::optional<ExtractionResult> decodeResult(const QCborMap &reply, const QString &path);

[[nodiscard]] QCborMap encodeRender(qint64 id, const QString &path, const RenderRequest &request);
/** The request a render message carries; nullopt when it is malformed or asks for more than RenderRequest::MaxPixels.
 */
[[nodiscard]] std::optional<RenderRequest> decodeRender(const QCborMap &message);

[[nodiscard]] QCborMap encodeRendered(qint64 id, const RenderResult &result);
/** The rendering a reply carries; nullopt when it is malformed or larger than `request` asked for. */
[[nodiscard]] std::optional<RenderResult> decodeRendered(const QCborMap &reply, const RenderRequest &request);

/**
 * Sends `bytes`, with `descriptor` attached when it is not -1. On a non-blocking socket a full
 * send buffer fails it: messages are small and go one at a time, so a full buffer means a peer
 * that has stopped reading.
 */
[[nodiscard]] bool send(int socket, const QByteArray &bytes, int descriptor = -1);

enum class Received {
    bytes,      ///< bytes (and maybe descriptors) were appended
    wouldBlock, ///< nothing to read now (non-blocking socket)
    closed,     ///< the peer closed its end, or the socket failed
};
/** Appends what one read gives to `buffer`, and descriptors that came with it to `descriptors`. */
[[nodiscard]] Received receive(int socket, QByteArray &buffer, QList<int> &descriptors);

} // namespace HelperProtocol
