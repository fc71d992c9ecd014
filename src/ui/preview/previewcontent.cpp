#include "ui/preview/previewcontent.h"

#include "extraction/sourcefile.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

#include <cmath>

namespace {

QString textStart(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(PreviewContent::TextLimitBytes));
}

} // namespace

PreviewSource inspectPreview(const QString &path)
{
    PreviewSource source;
    PreviewContent &content = source.content;
    const QFileInfo info(path);
    content.name = info.fileName();
    if (!info.exists()) {
        content.kind = PreviewContent::Kind::missing;
        return source;
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
    content.typeName = type.comment();
    content.iconName = type.iconName();
    content.genericIconName = type.genericIconName();
    content.size = info.size();
    content.created = info.birthTime();
    content.modified = info.lastModified();
    if (!info.isFile())
        return source;

    if (type.inherits(QStringLiteral("application/pdf")))
        source.render = RenderRequest::Kind::pdfPage;
    else if (type.name().startsWith(QStringLiteral("image/")))
        source.render = RenderRequest::Kind::picture;
    else if (type.inherits(QStringLiteral("text/plain")))
        content.text = textStart(path);

    if (source.render) {
        // Only a regular file, no link, goes to the helper, as for extraction.
        source.file = std::make_shared<SourceFile>(SourceFile::open(path, path));
        if (!source.file->isOpen())
            source.render.reset();
    }
    if (!content.text.isNull())
        content.kind = PreviewContent::Kind::text;
    return source;
}

QSize renderBounds(QSize bounds)
{
    bounds = bounds.expandedTo(QSize(1, 1));
    const qint64 pixels = qint64(bounds.width()) * bounds.height();
    if (pixels <= RenderRequest::MaxPixels)
        return bounds;
    const double shrink = std::sqrt(double(RenderRequest::MaxPixels) / double(pixels));
    return QSize(std::max(1, int(bounds.width() * shrink)), std::max(1, int(bounds.height() * shrink)));
}
