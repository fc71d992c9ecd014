#include "imageprocessor.h"

#include "common/stringtable.h"
#include "common/unicodetext.h"
#include "extraction/media/heifreader.h"
#include "extraction/media/imageclassifier.h"
#include "extraction/textrecognizer.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QLocale>
#include <QRegularExpression>

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <mutex>
#include <optional>

namespace {

void prepareExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        // The XMP toolkit's set-up is not thread-safe; everything after it is.
        Exiv2::XmpParser::initialize();
        // HEIC and other ISO media files; off by default in Exiv2 0.27.
        Exiv2::enableBMFF(true);
    });
}

// An ASCII tag's text up to its terminator (cameras pad these fields with NULs, and not every
// Exiv2 version cuts them off), trimmed: makers pad with spaces too ("OLYMPUS IMAGING CORP.  ").
std::optional<QString> asciiTag(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->typeId() != Exiv2::asciiString)
        return std::nullopt;
    std::string text = it->toString();
    if (const auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    const QString trimmed = QString::fromUtf8(text).trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

std::optional<QString> xmpText(const Exiv2::XmpData &xmp, const char *key)
{
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    if (it == xmp.end())
        return std::nullopt;
    const QString text = QString::fromStdString(it->toString()).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

// The capture date; cameras and editors that leave out DateTimeOriginal mostly write the
// digitising date (ExifTool's "CreateDate") or an XMP date instead.
std::optional<QString> captureDate(const Exiv2::Image &image)
{
    for (const char *key : {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized"})
        if (auto date = asciiTag(image.exifData(), key))
            return date;
    for (const char *key : {"Xmp.exif.DateTimeOriginal", "Xmp.photoshop.DateCreated", "Xmp.xmp.CreateDate"})
        if (auto date = xmpText(image.xmpData(), key))
            return date;
    return std::nullopt;
}

// XMP's language alternative: the default language, else the first one there is.
std::optional<QString> xmpLanguageText(const Exiv2::XmpData &xmp, const char *key)
{
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    if (it == xmp.end())
        return std::nullopt;
    const auto *alternatives = dynamic_cast<const Exiv2::LangAltValue *>(&it->value());
    if (alternatives == nullptr || alternatives->value_.empty())
        return xmpText(xmp, key);
    const auto chosen = alternatives->value_.find("x-default");
    const std::string &text =
        chosen != alternatives->value_.end() ? chosen->second : alternatives->value_.begin()->second;
    return QString::fromStdString(text);
}

std::optional<QString> iptcText(const Exiv2::IptcData &iptc, const char *key)
{
    const auto it = iptc.findKey(Exiv2::IptcKey(key));
    if (it == iptc.end())
        return std::nullopt;
    return QString::fromStdString(it->toString());
}

// Firmware fills the description with its vendor's name ("OLYMPUS DIGITAL CAMERA", "SONY DSC",
// "KODAK Digital Still Camera"); that says nothing about the picture.
bool isFirmwareDescription(const QString &text, const MetadataMap &metadata)
{
    static const QRegularExpression vendorDefault(
        QStringLiteral("^(?:[A-Z][A-Z0-9-]* ){0,2}(?i:digital (?:still )?camera|dsc|digital image)$"));
    return vendorDefault.match(text).hasMatch() ||
           text.compare(metadata.value(QStringLiteral("camera_make")), Qt::CaseInsensitive) == 0 ||
           text.compare(metadata.value(QStringLiteral("camera_model")), Qt::CaseInsensitive) == 0;
}

// The caption people wrote: EXIF, then XMP, then IPTC, the first that says something about the
// picture (not its camera or the program that saved it).
std::optional<QString> description(const Exiv2::Image &image, const MetadataMap &metadata)
{
    const std::optional<QString> candidates[]{
        asciiTag(image.exifData(), "Exif.Image.ImageDescription"),
        xmpLanguageText(image.xmpData(), "Xmp.dc.description"),
        iptcText(image.iptcData(), "Iptc.Application2.Caption"),
    };
    for (const std::optional<QString> &candidate : candidates) {
        if (!candidate)
            continue;
        // One line in the prompt, and a caption of a few sentences at most.
        const QString text = UnicodeText::leftGraphemes(candidate->simplified(), ImageProcessor::MaxDescription);
        if (!MetadataMap::isPlaceholder(text) && !MetadataMap::isToolNote(text) &&
            !isFirmwareDescription(text, metadata))
            return text.trimmed();
    }
    return std::nullopt;
}

// Degrees, minutes and seconds as rationals, added up to decimal degrees, negative when the
// reference tag says south or west.
std::optional<double> gpsCoordinate(const Exiv2::ExifData &exif, const char *key, const char *referenceKey,
                                    char negativeReference)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || (it->typeId() != Exiv2::unsignedRational && it->typeId() != Exiv2::signedRational) ||
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
    const std::optional<QString> reference = asciiTag(exif, referenceKey);
    const bool negative = reference && reference->startsWith(QLatin1Char(negativeReference), Qt::CaseInsensitive);
    return negative ? -std::abs(degrees) : std::abs(degrees);
}

QString shortestNumber(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

struct EXIFFacts {
    MetadataMap metadata;
    QSize pixelSize;
};

EXIFFacts readExif(const QByteArray &bytes)
{
    prepareExiv2();
    EXIFFacts facts;
    if (bytes.isEmpty())
        return facts;
    try {
        // Read in place: no copy until a write, which never comes.
        Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(bytes.constData()), long(bytes.size()));
        if (image.get() == nullptr)
            return facts;
        image->readMetadata();
        facts.pixelSize = QSize(image->pixelWidth(), image->pixelHeight());
        const Exiv2::ExifData &exif = image->exifData();
        MetadataMap &m = facts.metadata;
        if (const auto date = captureDate(*image))
            m.setMeaningful(QStringLiteral("date"), *date);
        if (const auto lens = asciiTag(exif, "Exif.Photo.LensMake"))
            m.setMeaningful(QStringLiteral("lens"), *lens);
        if (const auto make = asciiTag(exif, "Exif.Image.Make"))
            m.setMeaningful(QStringLiteral("camera_make"), *make);
        if (const auto model = asciiTag(exif, "Exif.Image.Model"))
            m.setMeaningful(QStringLiteral("camera_model"), *model);
        const auto latitude = gpsCoordinate(exif, "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", 'S');
        const auto longitude = gpsCoordinate(exif, "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef", 'W');
        // 0, 0 is what a phone writes before it has a fix, not a place in the Gulf of Guinea.
        if (latitude && longitude && (*latitude != 0 || *longitude != 0))
            m.set(QStringLiteral("gps"), shortestNumber(*latitude) + QStringLiteral(", ") + shortestNumber(*longitude));
        if (const auto text = description(*image, m))
            m.set(QStringLiteral("description"), *text);
    } catch (...) {
        // Exiv2 throws on anything it cannot parse; such a file simply has no properties.
    }
    return facts;
}

// A reader over the mapped file that tells the format from the content, as a misnamed file needs.
struct PictureReader {
    QBuffer buffer;
    QImageReader reader{&buffer};

    explicit PictureReader(const QByteArray &bytes)
    {
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
    }
};

// The picture bounded for recognition; JPEG scales cheaply while decoding.
QImage decode(const QByteArray &bytes, QSize storedSize, bool heif)
{
    const qint64 pixels = storedSize.isValid() ? qint64(storedSize.width()) * storedSize.height() : 0;
    if (pixels > ImageProcessor::MaxDecodedPixels)
        return {};
    const QSize bound(TextRecognizer::MaxLongEdge, TextRecognizer::MaxLongEdge);
    if (heif)
        return HEIFReader::read(bytes, bound, ImageProcessor::MaxDecodedPixels);
    PictureReader picture(bytes);
    QImageReader &reader = picture.reader;
    reader.setAutoTransform(true);
    if (storedSize.isValid() && (storedSize.width() > bound.width() || storedSize.height() > bound.height()))
        reader.setScaledSize(storedSize.scaled(bound, Qt::KeepAspectRatio));
    // Four bytes a pixel: this also guards formats whose header gives no size, and lying headers.
    reader.setAllocationLimit(int(ImageProcessor::MaxDecodedPixels * 4 / (1024 * 1024)) + 1);
    return reader.read();
}

// Says which script the picture's text is in and that no installed language reads it.
QString unreadScriptNote(const QString &script)
{
    static const QHash<QString, const char *> names{
        {QStringLiteral("Cyrillic"), "image.script.cyrillic"}, {QStringLiteral("Greek"), "image.script.greek"},
        {QStringLiteral("Arabic"), "image.script.arabic"},     {QStringLiteral("Hebrew"), "image.script.hebrew"},
        {QStringLiteral("Han"), "image.script.chinese"},       {QStringLiteral("Japanese"), "image.script.japanese"},
        {QStringLiteral("Katakana"), "image.script.japanese"}, {QStringLiteral("Hiragana"), "image.script.japanese"},
        {QStringLiteral("Hangul"), "image.script.korean"},     {QStringLiteral("Thai"), "image.script.thai"},
        {QStringLiteral("Fraktur"), "image.script.fraktur"},
    };
    const char *name = names.value(script);
    return StringTable::text("image.unreadScript")
        .arg(name ? StringTable::text(name) : StringTable::text("image.script.other").arg(script));
}

qsizetype letterCount(const QString &text)
{
    return std::count_if(text.cbegin(), text.cend(), [](QChar c) { return c.isLetterOrNumber(); });
}

} // namespace

ImageProcessor::ImageProcessor()
    : ExtensionProcessor({QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"), QStringLiteral("heic"),
                          QStringLiteral("heif"), QStringLiteral("tiff"), QStringLiteral("tif"), QStringLiteral("bmp"),
                          QStringLiteral("gif"), QStringLiteral("webp")})
{
}

ExtractionResult ImageProcessor::extractFrom(const SourceFile &file) const
{
    const QByteArray bytes = file.bytes();
    if (bytes.isEmpty())
        return FileContext::make(file, QString(), MetadataMap());

    EXIFFacts facts = readExif(bytes);
    MetadataMap metadata = facts.metadata;
    const bool heif = HEIFReader::isHeif(bytes);
    QSize storedSize = heif ? HEIFReader::storedSize(bytes) : PictureReader(bytes).reader.size();
    if (!storedSize.isValid())
        storedSize = facts.pixelSize;
    if (storedSize.isValid() && !storedSize.isEmpty())
        metadata.set(QStringLiteral("dimensions"),
                     QString::number(storedSize.width()) + u'x' + QString::number(storedSize.height()));

    const QImage image = decode(bytes, storedSize, heif);
    // Photos and wallpapers mostly hold no text, and reading one in full costs seconds.
    const ImageClassifier::Features features = ImageClassifier::measure(image);
    QString missingScript;
    const QString recognised = ImageClassifier::isScene(features)
                                   ? TextRecognizer::recognizeScene(image, &missingScript)
                                   : TextRecognizer::recognize(image, &missingScript);
    const QString text = UnicodeText::leftGraphemes(recognised, TextLimits::ImageText);
    // Text in a script no installed language reads is not silently nothing.
    if (!missingScript.isEmpty())
        metadata.set(QStringLiteral("recognition"), unreadScriptNote(missingScript));

    ImageClassifier::Hints hints;
    hints.hasCameraExif =
        metadata.contains(QStringLiteral("camera_make")) || metadata.contains(QStringLiteral("camera_model"));
    hints.storedSize = storedSize;
    hints.recognisedLetters = letterCount(text);
    const QString labels = ImageClassifier::selectLabels(ImageClassifier::classify(features, hints));
    if (!labels.isEmpty())
        metadata.set(QStringLiteral("classification"), labels);

    return FileContext::make(file, text, metadata);
}
