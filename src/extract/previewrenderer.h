#pragma once

#include "extraction/sandbox/rendering.h"

class SourceFile;

/**
 * What the preview shows of a PDF or a picture, drawn inside the extraction helper: the app
 * decodes none of it. A PDF page through Poppler; a picture through Qt's image readers (HEIF
 * through libheif), upright by its EXIF orientation. The result fits the request's bounds and is
 * never enlarged beyond the page's or picture's own size (a PDF page at most 200 dpi).
 */
namespace PreviewRenderer {

/** Fails with a German reason when the file cannot be drawn. */
[[nodiscard]] RenderResult render(const SourceFile &file, const RenderRequest &request);

} // namespace PreviewRenderer
