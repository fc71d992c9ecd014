#include "extraction/media/imageprocessor.h"
#include "extraction/textrecognizer.h"
#include "extractiontestkit.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <exiv2/exiv2.hpp>

using namespace ExtractionTestKit;

using Tags = QMap<QString, QString>;

namespace {

// Writes `tags` (Exiv2 key → value in Exiv2's text form, "Exif." or "Xmp.") into an existing image file.
void writeExif(const QString &path, const Tags &tags)
{
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    Exiv2::XmpData xmp = image->xmpData();
    for (auto it = tags.cbegin(); it != tags.cend(); ++it) {
        if (it.key().startsWith("Xmp."))
            xmp[it.key().toStdString()] = it.value().toStdString();
        else
            exif[it.key().toStdString()] = it.value().toStdString();
    }
    image->setExifData(exif);
    image->setXmpData(xmp);
    image->writeMetadata();
}

// A baseline TIFF with one uncompressed 8-bit grey page per image, as scanners write them.
QByteArray multiPageTiff(const QList<QImage> &pages)
{
    QByteArray out("II*\0\0\0\0\0", 8);
    qsizetype linkOffset = 4;
    for (const QImage &page : pages) {
        const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
        const quint32 stripOffset = quint32(out.size());
        for (int y = 0; y < grey.height(); ++y)
            out.append(reinterpret_cast<const char *>(grey.constScanLine(y)), grey.width());
        if (out.size() % 2)
            out.append('\0');
        const quint32 ifd = quint32(out.size());
        qToLittleEndian<quint32>(ifd, out.data() + linkOffset);
        const QList<std::pair<quint16, quint32>> entries{{256, quint32(grey.width())},
                                                         {257, quint32(grey.height())},
                                                         {258, 8},
                                                         {259, 1},
                                                         {262, 1},
                                                         {273, stripOffset},
                                                         {277, 1},
                                                         {278, quint32(grey.height())},
                                                         {279, quint32(grey.width() * grey.height())}};
        QByteArray block(2 + entries.size() * 12 + 4, '\0');
        qToLittleEndian<quint16>(quint16(entries.size()), block.data());
        for (qsizetype i = 0; i < entries.size(); ++i) {
            char *entry = block.data() + 2 + i * 12;
            qToLittleEndian<quint16>(entries[i].first, entry);
            qToLittleEndian<quint16>(4, entry + 2); // LONG
            qToLittleEndian<quint32>(1, entry + 4);
            qToLittleEndian<quint32>(entries[i].second, entry + 8);
        }
        out.append(block);
        linkOffset = out.size() - 4;
    }
    return out;
}

// Pads, tracks and a few labels on green: what a photo of a circuit board shows the recogniser.
QImage circuitBoard(quint32 seed)
{
    QImage board(1200, 900, QImage::Format_RGB32);
    board.fill(QColor(20, 90, 40));
    QRandomGenerator random(seed);
    QPainter painter(&board);
    for (int i = 0; i < 400; ++i) {
        painter.fillRect(random.bounded(1200), random.bounded(900), random.bounded(4, 60), random.bounded(4, 30),
                         QColor(200, 170, 60));
        painter.setPen(QPen(QColor(180, 180, 180), random.bounded(1, 4)));
        painter.drawLine(random.bounded(1200), random.bounded(900), random.bounded(1200), random.bounded(900));
    }
    for (int i = 0; i < 60; ++i)
        painter.fillRect(random.bounded(1200), random.bounded(900), random.bounded(20, 80), random.bounded(10, 40),
                         Qt::black);
    QFont font("DejaVu Sans");
    font.setPixelSize(10);
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (int i = 0; i < 30; ++i)
        painter.drawText(random.bounded(1200), random.bounded(900),
                         QString("R%1 C%2").arg(random.bounded(100)).arg(random.bounded(50)));
    return board;
}

// A file manager's window: menu and a list of file names in a 16-pixel UI font.
QImage fileManagerScreenshot()
{
    QImage screen(1920, 1080, QImage::Format_RGB32);
    screen.fill(QColor(240, 240, 240));
    QPainter painter(&screen);
    QFont font("DejaVu Sans");
    font.setPixelSize(16);
    painter.setFont(font);
    painter.drawText(20, 24, "Datei   Bearbeiten   Ansicht   Einstellungen   Hilfe");
    for (int i = 0; i < 20; ++i)
        painter.drawText(
            40, 80 + i * 28,
            QString("Rechnung %1 Telekom Deutschland.pdf     %2 KB     15.03.2024").arg(4700 + i).arg(100 + i * 7));
    return screen;
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

        // Text values are trimmed; south and west give negative coordinates.
        QImage photo(640, 480, QImage::Format_RGB32);
        photo.fill(QColor(90, 140, 60));
        QTest::newRow("camera photo") << "photo.jpg" << photo
                                      << Tags{{"Exif.Image.Make", "Canon "},
                                              {"Exif.Image.Model", "  Canon EOS R6  "},
                                              {"Exif.Photo.DateTimeOriginal", "2024:03:15 14:22:05"},
                                              {"Exif.Photo.LensMake", "Sigma"},
                                              {"Exif.GPSInfo.GPSLatitude", "52/1 30/1 0/1"},
                                              {"Exif.GPSInfo.GPSLatitudeRef", "S"},
                                              {"Exif.GPSInfo.GPSLongitude", "11/1 34/1 300/10"},
                                              {"Exif.GPSInfo.GPSLongitudeRef", "W"}}
                                      << MetadataMap{{"date", "2024:03:15 14:22:05"}, {"lens", "Sigma"},
                                                     {"camera_make", "Canon"},        {"camera_model", "Canon EOS R6"},
                                                     {"gps", "-52.5, -11.575"},       {"dimensions", "640x480"}}
                                      << "photo";
        QTest::newRow("north east, digitised date")
            << "nord.jpg" << photo << Tags{{"Exif.Image.Make", "OLYMPUS IMAGING CORP.  "},
                                           {"Exif.Photo.DateTimeDigitized", "2019:07:01 08:00:00"},
                                           {"Exif.GPSInfo.GPSLatitude", "23/1 31/1 12/1"},
                                           {"Exif.GPSInfo.GPSLatitudeRef", "N"},
                                           {"Exif.GPSInfo.GPSLongitude", "47/1 30/1 0/1"},
                                           {"Exif.GPSInfo.GPSLongitudeRef", "E"}}
            << MetadataMap{{"date", "2019:07:01 08:00:00"},
                           {"camera_make", "OLYMPUS IMAGING CORP."},
                           {"gps", "23.52, 47.5"},
                           {"dimensions", "640x480"}}
            << "photo";
        QTest::newRow("XMP date only") << "xmp.jpg" << photo << Tags{{"Xmp.xmp.CreateDate", "2021-12-24T18:30:00"}}
                                       << MetadataMap{{"date", "2021-12-24T18:30:00"}, {"dimensions", "640x480"}}
                                       << "landscape_format";
        QTest::newRow("screenshot without EXIF")
            << "Bildschirmfoto.png" << screen << Tags{} << MetadataMap{{"dimensions", "2880x1800"}} << "screenshot";
        QTest::newRow("invoice text") << "scan.png" << invoicePage(600) << Tags{}
                                      << MetadataMap{{"dimensions", "2480x600"}} << "document";
        // Recognition sees at most 3000 pixels along the longer edge, and still reads the line.
        QTest::newRow("large scan") << "gross.jpg" << invoicePage(600).scaled(7440, 1800) << Tags{}
                                    << MetadataMap{{"dimensions", "7440x1800"}} << "document";
        // Tesseract reads "u | Le! | a ow a | > m …" (mean confidence 41, few words) and
        // "% Lak | 24 mao | DAX TI …" (confidence 52) into these.
        QTest::newRow("circuit board: junk dropped") << "platine.png" << circuitBoard(9) << Tags{}
                                                     << MetadataMap{{"dimensions", "1200x900"}} << "landscape_format";
        QTest::newRow("circuit board: confident junk dropped")
            << "platine2.png" << circuitBoard(8) << Tags{} << MetadataMap{{"dimensions", "1200x900"}}
            << "landscape_format";
    }

    void pictures()
    {
        QFETCH(QString, fileName);
        QFETCH(QImage, image);
        QFETCH(Tags, tags);
        QFETCH(MetadataMap, expected);
        QFETCH(QString, label);
        const bool scan = fileName == "scan.png" || fileName == "gross.jpg";
        if (scan && !TextRecognizer::isAvailable())
            QFAIL("Tesseract with the deu and eng models is missing: run scripts/install-deps.sh");

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

    // Scanner and phone formats: text, labels and metadata like PNG; a TIFF's first page only.
    void formats_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("cameraMake"); // expected "camera_make", empty for none
        QTest::newRow("tiff, two pages") << "scan.tiff"
                                         << "";
        QTest::newRow("webp") << "scan.webp"
                              << "";
        QTest::newRow("heic with EXIF") << "IMG_0001.HEIC"
                                        << "Apple";
    }

    void formats()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, cameraMake);
        if (!TextRecognizer::isAvailable())
            QFAIL("Tesseract with the deu and eng models is missing: run scripts/install-deps.sh");
        const QString path = m_dir.filePath(fileName);
        const QImage page = invoicePage(700);
        if (fileName.endsWith(".tiff")) {
            QImage second = invoicePage(700);
            second.fill(Qt::white);
            QPainter(&second).drawText(QRect(200, 250, 2000, 300), "Zweite Seite mit anderem Text");
            QVERIFY(!writeFile(path, multiPageTiff({page, second})).isEmpty());
        } else if (fileName.endsWith(".webp")) {
            QVERIFY2(page.save(path, "WEBP", 90), "Qt's WebP plugin (qt6-image-formats-plugins) is missing");
        } else {
            const QString encoder = QStandardPaths::findExecutable("heif-enc");
            if (encoder.isEmpty())
                QFAIL("heif-enc (libheif-examples) is missing: run scripts/install-deps.sh");
            const QString jpeg = m_dir.filePath("heic-source.jpg");
            QVERIFY(page.save(jpeg, "JPEG", 95));
            writeExif(jpeg, {{"Exif.Image.Make", "Apple"}, {"Exif.Image.Model", "iPhone 12"}});
            QProcess process;
            process.start(encoder, {"-q", "90", "-o", path, jpeg});
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitCode(), 0);
        }

        const ExtractionResult result = ImageProcessor().extract(path);
        QVERIFY(result);
        QVERIFY2(invoiceRecognised(result->extractedText), qPrintable(result->extractedText));
        QCOMPARE(result->metadata.value("dimensions"), QString("2480x700"));
        QCOMPARE(result->metadata.value("camera_make"), cameraMake);
        QVERIFY2(result->metadata.value("classification").split(", ").contains("document"),
                 qPrintable(result->metadata.value("classification")));
    }

    void recognitionIsBounded()
    {
        if (!TextRecognizer::isAvailable())
            QFAIL("Tesseract with the deu and eng models is missing: run scripts/install-deps.sh");
        const TextRecognizer::Reading reading = TextRecognizer::read(invoicePage(600).scaled(7440, 1800));
        QCOMPARE(reading.size, QSize(3000, 725));
        QVERIFY2(TextRecognizer::isCredible(reading), qPrintable(reading.text));
        QVERIFY2(invoiceRecognised(reading.text), qPrintable(reading.text));
    }

    void screenshotKeepsItsText()
    {
        if (!TextRecognizer::isAvailable())
            QFAIL("Tesseract with the deu and eng models is missing: run scripts/install-deps.sh");
        const QString path = m_dir.filePath("Bildschirmfoto Dateien.png");
        QVERIFY(fileManagerScreenshot().save(path));
        const ExtractionResult result = ImageProcessor().extract(path);
        QVERIFY(result);
        QVERIFY2(result->extractedText.contains("Rechnung 4705 Telekom Deutschland.pdf"),
                 qPrintable(result->extractedText));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestImageProcessor)
#include "tst_imageprocessor.moc"
