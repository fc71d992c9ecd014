#pragma once

#include "extraction/extractionresult.h"

#include <QImage>
#include <QSize>

#include <expected>

/** What the preview asks a helper to draw: one page of a PDF, or a picture, fitted to `bounds`. */
struct RenderRequest {
    enum class Kind { pdfPage, picture };

    /** No rendering is larger: what a helper sends back is a plain pixel buffer of this many pixels at most. */
    static constexpr qint64 MaxPixels = qint64(2560) * 1600;

    Kind kind = Kind::picture;
    int page = 0; ///< of a PDF, from 0
    QSize bounds; ///< device pixels; the image fits inside, its shape kept
};

/** A drawn page or picture, upright, and how many pages the document has (1 for a picture). */
struct Rendering {
    QImage image;
    int pages = 1;
};

/** Fails with a German reason (what could not be drawn, or how the helper ended). */
using RenderResult = std::expected<Rendering, ExtractionError>;
