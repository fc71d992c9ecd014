#include "extraction/media/imageprocessor.h"
#include "extraction/textrecognizer.h"
#include "extractiontestkit.h"

#include <QTemporaryDir>
#include <QTest>

#include <exiv2/exiv2.hpp>

using namespace ExtractionTestKit;

using Tags = QMap<QString, QString>;

namespace {

// Writes `tags` (Exiv2 key → value in Exiv2's text form) into an existing image file.
void writeExif(const QString &path, const Tags &tags)
{
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    for (auto it = tags.cbegin(); it != tags.cend(); ++it)
        exif[it.key().toStdString()] = it.value().toStdString();
    image->setExifData(exif);
    image->writeMetadata();
}

} // namespace

class TestImageProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void pictures_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QImage>("image");
        QTest::addColumn<Tags>("tags");
        QTest::addColumn<MetadataMap>("expected"); // all but the classification
        QTest::addColumn<QString>("label");

        QImage screen(2880, 1800, QImage::Format_RGB32);
        screen.fill(QColor(236, 236, 236));
        QPainter(&screen).fillRect(700, 200, 1800, 900, Qt::white);

        // Make and model are kept as written, spaces and all; the GPS reference adds no sign.
        QImage photo(640, 480, QImage::Format_RGB32);
        photo.fill(QColor(90, 140, 60));
        QTest::newRow("camera photo")
            << "photo.jpg" << photo
            << Tags{{"Exif.Image.Make", "Canon "},
                    {"Exif.Image.Model", "  Canon EOS R6  "},
                    {"Exif.Photo.DateTimeOriginal", "2024:03:15 14:22:05"},
                    {"Exif.Photo.LensMake", "Sigma"},
                    {"Exif.GPSInfo.GPSLatitude", "52/1 30/1 0/1"},
                    {"Exif.GPSInfo.GPSLatitudeRef", "S"},
                    {"Exif.GPSInfo.GPSLongitude", "11/1 34/1 300/10"},
                    {"Exif.GPSInfo.GPSLongitudeRef", "W"}}
            << MetadataMap{{"date", "2024:03:15 14:22:05"},      {"lens", "Sigma"},       {"camera_make", "Canon "},
                           {"camera_model", "  Canon EOS R6  "}, {"gps", "52.5, 11.575"}, {"dimensions", "640x480"}}
            << "photo";
        QTest::newRow("screenshot without EXIF")
            << "Bildschirmfoto.png" << screen << Tags{} << MetadataMap{{"dimensions", "2880x1800"}} << "screenshot";
        QTest::newRow("invoice text") << "scan.png" << invoicePage(600) << Tags{}
                                      << MetadataMap{{"dimensions", "2480x600"}} << "document";
    }

    void pictures()
    {
        QFETCH(QString, fileName);
        QFETCH(QImage, image);
        QFETCH(Tags, tags);
        QFETCH(MetadataMap, expected);
        QFETCH(QString, label);
        const bool scan = fileName == "scan.png";
        if (scan && !TextRecognizer::isAvailable())
            QSKIP("Tesseract with the deu and eng models is not installed");

        const QString path = m_dir.filePath(fileName);
        QVERIFY(image.save(path));
        if (!tags.isEmpty())
            writeExif(path, tags);

        const ExtractionResult result = ImageProcessor().extract(path);
        QVERIFY(result);
        MetadataMap metadata = result->metadata;
        const QString labels = metadata.value("classification");
        metadata.remove("classification");
        QCOMPARE(metadata, expected);
        QVERIFY2(labels.split(", ").contains(label), qPrintable(labels));
        if (scan)
            QVERIFY2(invoiceRecognised(result->extractedText), qPrintable(result->extractedText));
        else
            QCOMPARE(result->extractedText, QString());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestImageProcessor)
#include "tst_imageprocessor.moc"
