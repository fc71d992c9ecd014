#include "imageprocessor.h"

#include "common/unicodetext.h"
#include "extraction/media/imageclassifier.h"
#include "extraction/textrecognizer.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLocale>

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <mutex>
#include <optional>

namespace {

// Recognition gains nothing from more pixels than a full 300 dpi A3 page; larger pictures are
// decoded scaled down, which JPEG does cheaply while decoding.
constexpr qint64 MaxRecognitionPixels = 36'000'000;

void prepareExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        // The XMP toolkit's set-up is not thread-safe; everything after it is.
        Exiv2::XmpParser::initialize();
    });
}

// An ASCII tag's text as stored, up to its terminator: cameras pad these fields with NULs,
// and not every Exiv2 version cuts them off.
std::optional<QString> asciiTag(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->typeId() != Exiv2::asciiString)
        return std::nullopt;
    std::string text = it->toString();
    if (const auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return QString::fromUtf8(text);
}

// Degrees, minutes and seconds as rationals, added up to decimal degrees; no sign is applied.
std::optional<double> gpsCoordinate(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() ||
        (it->typeId() != Exiv2::unsignedRational && it->typeId() != Exiv2::signedRational) ||
        it->count() < 1 || it->count() > 3)
        return std::nullopt;
    double degrees = 0;
    double unit = 1;
    for (long i = 0; i < it->count(); ++i, unit *= 60) {
        const Exiv2::Rational part = it->toRational(i);
        if (part.second == 0)
            return std::nullopt;
        degrees += double(part.first) / double(part.second) / unit;
    }
    if (!std::isfinite(degrees))
        return std::nullopt;
    return std::abs(degrees);
}

QString shortestNumber(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

struct ExifFacts {
    MetadataMap metadata;
    QSize pixelSize;
};

ExifFacts readExif(const QString &path)
{
    prepareExiv2();
    ExifFacts facts;
    try {
        // A FileIo of our own: given a path, Exiv2 would fetch "http://…" names over the network.
        Exiv2::BasicIo::AutoPtr io(new Exiv2::FileIo(QFile::encodeName(path).toStdString()));
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(io);
        if (image.get() == nullptr)
            return facts;
        image->readMetadata();
        facts.pixelSize = QSize(image->pixelWidth(), image->pixelHeight());
        const Exiv2::ExifData &exif = image->exifData();
        MetadataMap &m = facts.metadata;
        if (const auto date = asciiTag(exif, "Exif.Photo.DateTimeOriginal"))
            m.set(QStringLiteral("date"), *date);
        if (const auto lens = asciiTag(exif, "Exif.Photo.LensMake"))
            m.set(QStringLiteral("lens"), *lens);
        if (const auto make = asciiTag(exif, "Exif.Image.Make"))
            m.set(QStringLiteral("camera_make"), *make);
        if (const auto model = asciiTag(exif, "Exif.Image.Model"))
            m.set(QStringLiteral("camera_model"), *model);
        const auto latitude = gpsCoordinate(exif, "Exif.GPSInfo.GPSLatitude");
        const auto longitude = gpsCoordinate(exif, "Exif.GPSInfo.GPSLongitude");
        if (latitude && longitude)
            m.set(QStringLiteral("gps"),
                  shortestNumber(*latitude) + QStringLiteral(", ") + shortestNumber(*longitude));
    } catch (...) {
        // Exiv2 throws on anything it cannot parse; such a file simply has no properties.
    }
    return facts;
}

QImage decode(const QString &path, QSize storedSize)
{
    const qint64 pixels = storedSize.isValid() ? qint64(storedSize.width()) * storedSize.height() : 0;
    if (pixels > ImageProcessor::MaxDecodedPixels)
        return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (pixels > MaxRecognitionPixels) {
        const double factor = std::sqrt(double(MaxRecognitionPixels) / double(pixels));
        reader.setScaledSize(QSize(std::max(1, int(storedSize.width() * factor)),
                                   std::max(1, int(storedSize.height() * factor))));
    }
    // Four bytes a pixel: this also guards formats whose header gives no size, and lying headers.
    reader.setAllocationLimit(int(ImageProcessor::MaxDecodedPixels * 4 / (1024 * 1024)) + 1);
    return reader.read();
}

qsizetype letterCount(const QString &text)
{
    return std::count_if(text.cbegin(), text.cend(), [](QChar c) { return c.isLetterOrNumber(); });
}

} // namespace

ImageProcessor::ImageProcessor()
    : ExtensionProcessor({QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                          QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("tiff"),
                          QStringLiteral("tif"), QStringLiteral("bmp"), QStringLiteral("gif"),
                          QStringLiteral("webp")})
{
}

ExtractionResult ImageProcessor::extract(const QString &path) const
{
    // Anything but a regular file (a FIFO, a device) could block the reader forever.
    if (!QFileInfo(path).isFile())
        return FileContext::make(path, QString(), MetadataMap());

    ExifFacts facts = readExif(path);
    MetadataMap metadata = facts.metadata;
    QSize storedSize = QImageReader(path).size();
    if (!storedSize.isValid())
        storedSize = facts.pixelSize;
    if (storedSize.isValid() && !storedSize.isEmpty())
        metadata.set(QStringLiteral("dimensions"),
                     QString::number(storedSize.width()) + u'x' + QString::number(storedSize.height()));

    const QImage image = decode(path, storedSize);
    const QString text = UnicodeText::leftGraphemes(TextRecognizer::recognize(image), TextLimits::ImageText);

    ImageClassifier::Hints hints;
    hints.hasCameraExif =
        metadata.contains(QStringLiteral("camera_make")) || metadata.contains(QStringLiteral("camera_model"));
    hints.storedSize = storedSize;
    hints.recognisedLetters = letterCount(text);
    const QString labels = ImageClassifier::selectLabels(ImageClassifier::classify(image, hints));
    if (!labels.isEmpty())
        metadata.set(QStringLiteral("classification"), labels);

    return FileContext::make(path, text, metadata);
}
