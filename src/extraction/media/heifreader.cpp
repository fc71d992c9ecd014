#include "heifreader.h"

#include <QImage>

#include <libheif/heif.h>

#include <memory>

namespace HEIFReader {
namespace {

struct ContextDeleter {
    void operator()(heif_context *c) const { heif_context_free(c); }
};
struct HandleDeleter {
    void operator()(heif_image_handle *h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
    void operator()(heif_image *i) const { heif_image_release(i); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;

Handle primaryImage(const QByteArray &bytes, Context &context)
{
    context.reset(heif_context_alloc());
    if (!context || bytes.isEmpty())
        return nullptr;
    if (heif_context_read_from_memory_without_copy(context.get(), bytes.constData(), size_t(bytes.size()), nullptr)
            .code != heif_error_Ok)
        return nullptr;
    heif_image_handle *handle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &handle).code != heif_error_Ok)
        return nullptr;
    return Handle(handle);
}

} // namespace

bool isHeif(const QByteArray &bytes)
{
    const QByteArray head = bytes.first(std::min<qsizetype>(12, bytes.size()));
    const heif_filetype_result type =
        heif_check_filetype(reinterpret_cast<const uint8_t *>(head.constData()), int(head.size()));
    return type == heif_filetype_yes_supported || type == heif_filetype_maybe;
}

QSize storedSize(const QByteArray &bytes)
{
    Context context;
    const Handle handle = primaryImage(bytes, context);
    if (!handle)
        return {};
    return {heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get())};
}

QImage read(const QByteArray &bytes, QSize bound, qint64 maxPixels)
{
    Context context;
    const Handle handle = primaryImage(bytes, context);
    if (!handle)
        return {};
    const qint64 pixels =
        qint64(heif_image_handle_get_width(handle.get())) * heif_image_handle_get_height(handle.get());
    if (pixels <= 0 || pixels > maxPixels)
        return {};
    heif_image *decoded = nullptr;
    if (heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code !=
        heif_error_Ok)
        return {};
    const std::unique_ptr<heif_image, ImageDeleter> owned(decoded);
    int stride = 0;
    const uint8_t *plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    if (!plane || width <= 0 || height <= 0)
        return {};
    // The wrapper does not own the plane: copy before the decoded image is released.
    QImage image = QImage(plane, width, height, stride, QImage::Format_RGBA8888).copy();
    if (bound.isValid() && (width > bound.width() || height > bound.height()))
        image = image.scaled(bound, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace HEIFReader
