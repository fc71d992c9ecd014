#include "ui/preview/previewcontent.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>

#include <poppler-qt6.h>

#include <algorithm>
#include <memory>

namespace {

QImage firstPdfPage(const QString &path, const QSize &bounds)
{
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document || document->isLocked() || document->numPages() < 1)
        return {};
    const std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page)
        return {};
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    const QSizeF points = page->pageSizeF();
    const double fit =
        std::min(bounds.width() / std::max(1.0, points.width()), bounds.height() / std::max(1.0, points.height()));
    const double dpi = std::clamp(72.0 * fit, 24.0, 200.0);
    return page->renderToImage(dpi, dpi);
}

QImage uprightImage(const QString &path, const QSize &bounds)
{
    QImageReader reader(path);
    reader.setAutoTransform(true); // EXIF orientation
    const QSize full = reader.size();
    // Scaling happens before the orientation is applied, so either side may be the long one.
    const int longest = std::max(bounds.width(), bounds.height());
    if (full.isValid() && std::max(full.width(), full.height()) > 2 * longest)
        reader.setScaledSize(full.scaled(2 * longest, 2 * longest, Qt::KeepAspectRatio));
    return reader.read();
}

QString textStart(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(PreviewContent::TextLimitBytes));
}

} // namespace

PreviewContent renderPreview(const QString &path, const QSize &bounds)
{
    PreviewContent content;
    const QFileInfo info(path);
    content.name = info.fileName();
    if (!info.exists()) {
        content.kind = PreviewContent::Kind::missing;
        return content;
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
    content.typeName = type.comment();
    content.iconName = type.iconName();
    content.genericIconName = type.genericIconName();
    content.size = info.size();
    content.created = info.birthTime();
    content.modified = info.lastModified();
    if (!info.isFile())
        return content;

    if (type.inherits(QStringLiteral("application/pdf")))
        content.image = firstPdfPage(path, bounds);
    else if (type.name().startsWith(QStringLiteral("image/")))
        content.image = uprightImage(path, bounds);
    else if (type.inherits(QStringLiteral("text/plain")))
        content.text = textStart(path);

    if (!content.image.isNull())
        content.kind = PreviewContent::Kind::image;
    else if (!content.text.isNull())
        content.kind = PreviewContent::Kind::text;
    return content;
}
