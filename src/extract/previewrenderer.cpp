#include "previewrenderer.h"

#include "common/stringtable.h"
#include "extraction/media/heifreader.h"
#include "extraction/media/imageprocessor.h"
#include "extraction/sourcefile.h"

#include <QBuffer>
#include <QImageReader>

#include <poppler-qt6.h>

#include <algorithm>
#include <memory>

namespace PreviewRenderer {
namespace {

constexpr double MaxDpi = 200.0;

RenderResult failure(const QString &why)
{
    return std::unexpected(ExtractionError{why});
}

// Rounding may give a pixel more than asked for; the app takes nothing larger.
QImage fitted(QImage image, QSize bounds)
{
    if (image.width() > bounds.width() || image.height() > bounds.height())
        image = image.scaled(bounds, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

RenderResult pdfPage(const QByteArray &bytes, const RenderRequest &request)
{
    // Damaged files are normal input here; Poppler's complaints about them are noise.
    static const bool quiet =
        (Poppler::setDebugErrorFunction([](const QString &, const QVariant &) {}, QVariant()), true);
    Q_UNUSED(quiet);
    const std::unique_ptr<Poppler::Document> document =
        bytes.isEmpty() ? nullptr : Poppler::Document::loadFromData(bytes);
    if (!document)
        return failure(StringTable::text("preview.render.notPdf"));
    if (document->isLocked())
        return failure(StringTable::text("preview.render.encrypted"));
    const int pages = document->numPages();
    if (request.page >= pages)
        return failure(StringTable::text("preview.render.noPage").arg(request.page + 1));
    const std::unique_ptr<Poppler::Page> page = document->page(request.page);
    const QSizeF points = page ? page->pageSizeF() : QSizeF();
    if (!(points.width() > 0 && points.height() > 0))
        return failure(StringTable::text("preview.render.emptyPage"));
    document->setPaperColor(Qt::white);
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    const QSize bounds = request.bounds;
    const double dpi =
        std::min(MaxDpi, 72.0 * std::min(bounds.width() / points.width(), bounds.height() / points.height()));
    const QImage image = page->renderToImage(dpi, dpi);
    if (image.isNull())
        return failure(StringTable::text("preview.render.notDrawn"));
    return Rendering{fitted(image, bounds), pages};
}

RenderResult picture(const QByteArray &bytes, const RenderRequest &request)
{
    const QSize bounds = request.bounds;
    QImage image;
    if (HEIFReader::isHeif(bytes)) {
        image = HEIFReader::read(bytes, bounds, ImageProcessor::MaxDecodedPixels);
    } else {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer); // the format by the content, as a misnamed file needs
        reader.setAutoTransform(true);
        // Four bytes a pixel: this also guards formats whose header gives no size, and lying headers.
        reader.setAllocationLimit(int(ImageProcessor::MaxDecodedPixels * 4 / (1024 * 1024)) + 1);
        const QSize stored = reader.size();
        if (stored.isValid() && qint64(stored.width()) * stored.height() > ImageProcessor::MaxDecodedPixels)
            return failure(StringTable::text("preview.render.tooLarge"));
        // Scaling comes before the orientation: a quarter turn swaps the sides it must fit.
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        const QSize room = turned ? bounds.transposed() : bounds;
        if (stored.isValid() && (stored.width() > room.width() || stored.height() > room.height()))
            reader.setScaledSize(stored.scaled(room, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
        image = reader.read();
    }
    if (image.isNull())
        return failure(StringTable::text("preview.render.unreadableImage"));
    return Rendering{fitted(image, bounds), 1};
}

} // namespace

RenderResult render(const SourceFile &file, const RenderRequest &request)
{
    const QByteArray bytes = file.bytes();
    if (!file.isOpen())
        return failure(StringTable::text("preview.render.unreadable"));
    return request.kind == RenderRequest::Kind::pdfPage ? pdfPage(bytes, request) : picture(bytes, request);
}

} // namespace PreviewRenderer
