#include "imageclassifier.h"

#include <QBitArray>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

namespace ImageClassifier {
namespace {

constexpr int SampleEdge = 256;

// 0 below `low`, 1 above `high`, linear in between.
double ramp(double value, double low, double high)
{
    return std::clamp((value - low) / (high - low), 0.0, 1.0);
}

// Shared by scanned documents, UI captures and photos alike; small enough to stay cheap.
QImage sample(const QImage &image)
{
    QImage scaled = image.width() > SampleEdge || image.height() > SampleEdge
                        ? image.scaled(SampleEdge, SampleEdge, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                        : image;
    if (scaled.hasAlphaChannel()) {
        QImage flat(scaled.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, scaled);
        return flat;
    }
    return scaled.convertToFormat(QImage::Format_RGB32);
}

// Hue in degrees and saturation in [0, 1] of an RGB triple (HSV model).
void hueSaturation(int r, int g, int b, double &hue, double &saturation)
{
    const int max = std::max({r, g, b});
    const int min = std::min({r, g, b});
    const int delta = max - min;
    saturation = max == 0 ? 0.0 : double(delta) / max;
    if (delta == 0) {
        hue = 0;
        return;
    }
    if (max == r)
        hue = 60.0 * std::fmod(double(g - b) / delta + 6.0, 6.0);
    else if (max == g)
        hue = 60.0 * (double(b - r) / delta + 2.0);
    else
        hue = 60.0 * (double(r - g) / delta + 4.0);
}

Features measureSample(const QImage &image)
{
    Features f;
    const int width = image.width();
    const int height = image.height();
    const double pixels = double(width) * height;
    const int skyRows = std::max(1, height / 3);

    double lumaSum = 0, lumaSquares = 0, saturationSum = 0;
    double rgSum = 0, rgSquares = 0, ybSum = 0, ybSquares = 0;
    qint64 bright = 0, ink = 0, flat = 0, pairs = 0, sky = 0, vegetation = 0;
    QBitArray palette(16 * 16 * 16);

    for (int y = 0; y < height; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb px = line[x];
            const int r = qRed(px), g = qGreen(px), b = qBlue(px);
            const double luma = (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255.0;
            lumaSum += luma;
            lumaSquares += luma * luma;
            bright += luma >= 0.8;
            ink += luma < 0.55;

            double hue = 0, saturation = 0;
            hueSaturation(r, g, b, hue, saturation);
            saturationSum += saturation;
            const double value = std::max({r, g, b}) / 255.0;
            if (y < skyRows && hue >= 180 && hue <= 250 && saturation > 0.15 && value > 0.4)
                ++sky;
            if (hue >= 65 && hue <= 165 && saturation > 0.2 && value > 0.15)
                ++vegetation;

            const double rg = r - g;
            const double yb = 0.5 * (r + g) - b;
            rgSum += rg;
            rgSquares += rg * rg;
            ybSum += yb;
            ybSquares += yb * yb;

            palette.setBit((r >> 4) << 8 | (g >> 4) << 4 | (b >> 4));
            if (x + 1 < width) {
                ++pairs;
                flat += (line[x + 1] & 0xFFFFFF) == (px & 0xFFFFFF);
            }
        }
    }

    f.meanLuma = lumaSum / pixels;
    f.lumaDeviation = std::sqrt(std::max(0.0, lumaSquares / pixels - f.meanLuma * f.meanLuma));
    f.brightShare = bright / pixels;
    f.inkShare = ink / pixels;
    f.meanSaturation = saturationSum / pixels;
    const double rgMean = rgSum / pixels, ybMean = ybSum / pixels;
    const double rgVar = std::max(0.0, rgSquares / pixels - rgMean * rgMean);
    const double ybVar = std::max(0.0, ybSquares / pixels - ybMean * ybMean);
    f.colourfulness = std::sqrt(rgVar + ybVar) + 0.3 * std::sqrt(rgMean * rgMean + ybMean * ybMean);
    f.flatShare = pairs > 0 ? double(flat) / pairs : 1.0;
    f.paletteCells = int(palette.count(true));
    f.skyShare = double(sky) / (double(width) * skyRows);
    f.vegetationShare = vegetation / pixels;
    return f;
}

// Desktop, laptop, phone and tablet resolutions, including the doubled ones of dense displays.
bool isScreenSize(QSize size)
{
    static constexpr std::pair<int, int> screens[]{
        {1024, 768},  {1280, 720},  {1280, 800},  {1280, 1024}, {1366, 768},  {1440, 900},  {1512, 982},  {1536, 864},
        {1600, 900},  {1680, 1050}, {1728, 1117}, {1920, 1080}, {1920, 1200}, {2048, 1536}, {2560, 1440}, {2560, 1600},
        {2732, 2048}, {2880, 1800}, {3024, 1964}, {3440, 1440}, {3456, 2234}, {3840, 2160}, {5120, 2880}, {2388, 1668},
        {1334, 750},  {2340, 1080}, {2400, 1080}, {2436, 1125}, {2532, 1170}, {2556, 1179}, {2796, 1290},
    };
    const int longSide = std::max(size.width(), size.height());
    const int shortSide = std::min(size.width(), size.height());
    return std::any_of(std::begin(screens), std::end(screens),
                       [&](const auto &screen) { return screen.first == longSide && screen.second == shortSide; });
}

// A light background with little colour, whatever is on it.
double paperLook(const Features &f)
{
    return ramp(f.brightShare, 0.45, 0.8) * (1.0 - ramp(f.colourfulness, 15, 45));
}

// A light page with dark marks and little colour; recognised letters add to it.
double documentLook(const Features &f, qsizetype recognisedLetters)
{
    const double marks = ramp(f.inkShare, 0.002, 0.015) * (1.0 - ramp(f.inkShare, 0.3, 0.5));
    // A single recognised line on a light, plain background is a document however sparse it is.
    return paperLook(f) * std::max(marks, ramp(double(recognisedLetters), 10, 60));
}

// Flat surfaces with few colours and some contrast; a blank canvas is no interface.
double interfaceLook(const Features &f)
{
    return ramp(f.flatShare, 0.3, 0.75) * (1.0 - ramp(f.paletteCells, 96, 640)) * ramp(f.lumaDeviation, 0.05, 0.15);
}

} // namespace

Features measure(const QImage &image)
{
    if (image.isNull())
        return {};
    Features f = measureSample(sample(image));
    f.size = image.size();
    return f;
}

QList<Label> classify(const QImage &image, const Hints &hints)
{
    return classify(measure(image), hints);
}

bool isScene(const Features &features)
{
    // Rendered paper counts without marks: fine print vanishes from the small copy the features come
    // from. Snow and fog are light and plain too, but noisy.
    const double drawing = paperLook(features) * ramp(features.flatShare, 0.3, 0.6);
    return !features.size.isEmpty() && drawing <= Threshold && interfaceLook(features) <= Threshold;
}

QList<Label> classify(const Features &f, const Hints &hints)
{
    if (f.size.isEmpty())
        return {};
    const QSize storedSize = hints.storedSize.isValid() ? hints.storedSize : f.size;

    const double textual = ramp(double(hints.recognisedLetters), 8, 80);
    const double document = documentLook(f, hints.recognisedLetters);

    const double screen = interfaceLook(f);
    const double screenshot = hints.hasCameraExif ? 0.0 : isScreenSize(storedSize) ? 0.5 + 0.5 * screen : 0.45 * screen;

    // Sensor noise and texture leave almost no two neighbours equal; rendered graphics do.
    const double textured = 1.0 - ramp(f.flatShare, 0.2, 0.6);
    const double natural = textured * std::max(ramp(f.paletteCells, 150, 600), ramp(f.colourfulness, 30, 80));
    const double photo = hints.hasCameraExif ? 0.8 + 0.2 * natural : 0.85 * natural;

    // A blue or green desktop or UI is flat; real sky and foliage are not.
    const double unflat = 1.0 - ramp(f.flatShare, 0.5, 0.9);
    const double sky = ramp(f.skyShare, 0.15, 0.5) * unflat;
    const double vegetation = ramp(f.vegetationShare, 0.15, 0.45) * unflat;
    const double outdoor = std::max(0.95 * sky, 0.85 * vegetation);
    const double dark = 1.0 - ramp(f.meanLuma, 0.1, 0.25);
    const double monochrome =
        (1.0 - ramp(f.meanSaturation, 0.03, 0.1)) * ramp(f.lumaDeviation, 0.1, 0.2) * (1.0 - document);

    // The shape as shown, after the EXIF orientation the caller applied while decoding.
    const double aspect = double(f.size.width()) / f.size.height();
    const double portrait = aspect > 0 ? ramp(1.0 / aspect, 1.1, 1.5) : 0.0;
    const double landscape = ramp(aspect, 1.1, 1.5);

    return {
        {QStringLiteral("document"), float(document)},
        {QStringLiteral("text"), float(textual)},
        {QStringLiteral("screenshot"), float(screenshot)},
        {QStringLiteral("photo"), float(photo)},
        {QStringLiteral("sky"), float(sky)},
        {QStringLiteral("vegetation"), float(vegetation)},
        {QStringLiteral("outdoor"), float(outdoor)},
        {QStringLiteral("dark"), float(dark)},
        {QStringLiteral("monochrome"), float(monochrome)},
        {QStringLiteral("portrait_format"), float(portrait)},
        {QStringLiteral("landscape_format"), float(landscape)},
    };
}

QString selectLabels(const QList<Label> &labels)
{
    QStringList kept;
    for (const Label &label : labels) {
        if (kept.size() == MaxLabels)
            break;
        if (label.confidence > Threshold)
            kept << label.identifier;
    }
    return kept.join(QStringLiteral(", "));
}

} // namespace ImageClassifier
