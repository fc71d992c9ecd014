#pragma once

#include <QList>
#include <QSize>
#include <QString>

class QImage;

/**
 * Scene labels for a picture, computed from measurable features only; no trained model.
 * The same pixels and hints always give the same labels with the same confidences.
 *
 * Features, measured on a copy scaled to at most 256 px (transparency flattened on white):
 * - luminance: mean, standard deviation, share of near-white pixels (≥ 0.8) and of ink (< 0.55);
 * - colour: mean HSV saturation and colourfulness (Hasler and Süsstrunk, 0–255 scale);
 * - flatness: share of horizontally adjacent pixels with exactly the same colour (UI surfaces);
 * - palette: number of occupied cells in a 16×16×16 colour cube;
 * - sky: share of blue pixels (hue 180°–250°) in the upper third;
 * - vegetation: share of green pixels (hue 65°–165°) in the whole picture;
 * plus the hints: camera EXIF present, stored pixel size, letters of the recognised text.
 *
 * Labels, always in this order, each with a confidence in [0, 1]:
 * - "document": a light page with dark marks and little colour, or with recognised text;
 * - "text": the recognised text has letters or digits enough to read;
 * - "screenshot": no camera data, a common screen resolution and flat surfaces;
 * - "photo": camera data, or a rich, noisy palette without flat surfaces;
 * - "sky", "vegetation" (only where the picture is not flat, so a blue desktop is no sky),
 *   "outdoor" (either of those), "dark" (low mean luminance),
 *   "monochrome" (tonal range without colour, not a document);
 * - "portrait_format", "landscape_format": the picture's shape, last so that scene labels
 *   come first when only five are shown.
 */
namespace ImageClassifier {

struct Label {
    QString identifier;
    float confidence = 0.0F;
};

/** What the caller already knows about the picture besides its pixels. */
struct Hints {
    bool hasCameraExif = false;      ///< the file names a camera make or model
    QSize storedSize;                ///< pixel size as stored; the decoded image may be scaled or turned
    qsizetype recognisedLetters = 0; ///< letters and digits in the recognised text
};

/** What the pixels show, measured once on a small copy (see above). */
struct Features {
    double meanLuma = 0;
    double lumaDeviation = 0;
    double brightShare = 0;
    double inkShare = 0;
    double meanSaturation = 0;
    double colourfulness = 0;
    double flatShare = 0;
    int paletteCells = 0;
    double skyShare = 0;
    double vegetationShare = 0;
    QSize size; ///< the measured picture's size, as shown
};

/** Labels that only count with a confidence strictly above this. */
inline constexpr float Threshold = 0.3F;
/** At most this many labels are shown. */
inline constexpr qsizetype MaxLabels = 5;

/** The features of `image`; all zero with an empty size for a null image. */
[[nodiscard]] Features measure(const QImage &image);

/** Every label with its confidence, in the fixed order above; empty for a null image. */
[[nodiscard]] QList<Label> classify(const Features &features, const Hints &hints);
[[nodiscard]] QList<Label> classify(const QImage &image, const Hints &hints);

/**
 * Whether the picture shows a scene (a photo, a gradient, a painting) rather than a page or a
 * screen: neither a drawing's light, plain, rendered background (marks or not: fine print is lost
 * in the small copy the features come from) nor the flat surfaces of an interface.
 * Text in such a picture, if any, is a sign or a caption, large against the picture.
 */
[[nodiscard]] bool isScene(const Features &features);

/** The first `MaxLabels` labels above `Threshold`, in their order, joined with ", ". */
[[nodiscard]] QString selectLabels(const QList<Label> &labels);

} // namespace ImageClassifier
