#include "extraction/media/imageprocessor.h"
#include "extraction/textrecognizer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>
#include <QtConcurrent/QtConcurrentMap>
#include <QtEndian>

#include <exiv2/exiv2.hpp>

using StringMap = QMap<QString, QString>;

namespace {

const QString Invoice = "Rechnung Nr. 4711 vom 15.03.2024, Telekom Deutschland GmbH, Betrag 49,99 EUR";

// Writes `tags` (Exiv2 key → value in Exiv2's text form) into an existing image file.
void writeExif(const QString &path, const StringMap &tags)
{
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    for (auto it = tags.cbegin(); it != tags.cend(); ++it)
        exif[it.key().toStdString()] = it.value().toStdString();
    image->setExifData(exif);
    image->writeMetadata();
}

QImage noisyPhoto(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(int(random.bounded(256)), (x + y) % 256, int(random.bounded(200))));
    return image;
}

// The invoice line on a strip of an A4 page at 300 dpi.
QImage invoicePage()
{
    QImage image(2480, 600, QImage::Format_RGB32);
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    QFont font("DejaVu Sans");
    font.setPixelSize(46); // 11 pt at 300 dpi
    painter.setFont(font);
    painter.drawText(QRect(180, 200, 2120, 300), Qt::TextWordWrap, Invoice);
    return image;
}

int editDistance(const QString &a, const QString &b)
{
    QList<int> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

QStringList keysOf(const MetadataMap &metadata)
{
    QStringList keys;
    for (const auto &entry : metadata.entries())
        keys << entry.first;
    return keys;
}

// A BMP header promising `width`×`height` true-colour pixels, followed by almost no data.
QByteArray bmpHeader(qint32 width, qint32 height)
{
    QByteArray bytes(54, '\0');
    auto put32 = [&](int offset, quint32 value) { qToLittleEndian(value, bytes.data() + offset); };
    auto put16 = [&](int offset, quint16 value) { qToLittleEndian(value, bytes.data() + offset); };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, 54 + 64);
    put32(10, 54);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height));
    put16(26, 1);
    put16(28, 24);
    return bytes + QByteArray(64, '\x7f');
}

QStringList sortedExtensions(const ExtensionProcessor &processor)
{
    QStringList extensions(processor.extensions().cbegin(), processor.extensions().cend());
    extensions.sort();
    return extensions;
}

} // namespace

class TestImageProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void exifProperties_data();
    void exifProperties();
    void screenshotWithoutExif();
    void recognisesText_data();
    void recognisesText();
    void noLabelAboveThreshold();
    void oversizedImageIsNotDecoded();
    void garbageGivesEmptyContext_data();
    void garbageGivesEmptyContext();
    void concurrentExtraction();

private:
    QTemporaryDir m_dir;
    const ImageProcessor m_processor;
};

void TestImageProcessor::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestImageProcessor::exifProperties_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<StringMap>("tags");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("values");

    const StringMap full{
        {"Exif.Image.Make", "Canon "},
        {"Exif.Image.Model", "  Canon EOS R6  "},
        {"Exif.Photo.DateTimeOriginal", "2024:03:15 14:22:05"},
        {"Exif.Photo.LensMake", "Sigma"},
        {"Exif.GPSInfo.GPSLatitude", "52/1 30/1 0/1"},
        {"Exif.GPSInfo.GPSLatitudeRef", "S"},
        {"Exif.GPSInfo.GPSLongitude", "13/1 45/1 9/1"},
        {"Exif.GPSInfo.GPSLongitudeRef", "W"},
    };
    const QStringList fullKeys{"date", "lens",       "camera_make",   "camera_model",
                               "gps",  "dimensions", "classification"};
    const QString gps =
        "52.5, " + QString::number(13.0 + 45.0 / 60 + 9.0 / 3600, 'g', QLocale::FloatingPointShortest);
    const QStringList fullValues{"2024:03:15 14:22:05", "Sigma", "Canon ",
                                 "  Canon EOS R6  ",    gps,     "640x480"};

    QTest::newRow("jpeg, every key") << "photo.jpg" << full << fullKeys << fullValues;
    QTest::newRow("png, every key") << "photo.PNG" << full << fullKeys << fullValues;
    QTest::newRow("model only, decimal seconds")
        << "model.jpeg"
        << StringMap{{"Exif.Image.Model", "X100V"},
                     {"Exif.GPSInfo.GPSLatitude", "48/1 15/1 0/1"},
                     {"Exif.GPSInfo.GPSLongitude", "11/1 34/1 300/10"}}
        << QStringList{"camera_model", "gps", "dimensions", "classification"}
        << QStringList{"X100V", "48.25, 11.575", "640x480"};
    QTest::newRow("latitude without longitude")
        << "half.jpg" << StringMap{{"Exif.GPSInfo.GPSLatitude", "52/1 0/1 0/1"}}
        << QStringList{"dimensions", "classification"} << QStringList{"640x480"};
    QTest::newRow("no exif") << "plain.jpg" << StringMap{} << QStringList{"dimensions", "classification"}
                             << QStringList{"640x480"};
}

void TestImageProcessor::exifProperties()
{
    QFETCH(QString, fileName);
    QFETCH(StringMap, tags);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, values);

    const QString path = m_dir.filePath(fileName);
    QVERIFY(noisyPhoto({640, 480}).save(path, fileName.endsWith("PNG") ? "PNG" : "JPEG"));
    if (!tags.isEmpty())
        writeExif(path, tags);

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result.has_value());
    const MetadataMap &metadata = result->metadata;
    QCOMPARE(keysOf(metadata), keys);
    for (qsizetype i = 0; i < values.size(); ++i)
        QCOMPARE(metadata.value(keys[i]), values[i]);
    QVERIFY2(metadata.value("classification").split(", ").contains("photo"),
             qPrintable(metadata.value("classification")));
}

void TestImageProcessor::screenshotWithoutExif()
{
    QImage image(2880, 1800, QImage::Format_RGB32);
    image.fill(QColor(236, 236, 236));
    QPainter painter(&image);
    painter.fillRect(0, 0, 2880, 56, QColor(200, 200, 205));
    painter.fillRect(0, 56, 520, 1744, QColor(222, 226, 232));
    painter.fillRect(700, 200, 1800, 900, Qt::white);
    painter.fillRect(2400, 1600, 300, 90, QColor(20, 110, 230));
    painter.end();
    const QString path = m_dir.filePath("Bildschirmfoto.png");
    QVERIFY(image.save(path));

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result.has_value());
    QCOMPARE(result->metadata.value("dimensions"), "2880x1800");
    QVERIFY(!result->metadata.contains("camera_make"));
    QVERIFY(!result->metadata.contains("date"));
    QVERIFY2(result->metadata.value("classification").split(", ").contains("screenshot"),
             qPrintable(result->metadata.value("classification")));
}

void TestImageProcessor::recognisesText_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("rotated");

    QTest::newRow("upright png") << "scan.png" << false;
    // Stored turned by 90°, with the EXIF orientation that turns it back.
    QTest::newRow("jpeg with orientation") << "scan.jpg" << true;
}

void TestImageProcessor::recognisesText()
{
    QFETCH(QString, fileName);
    QFETCH(bool, rotated);
    if (!TextRecognizer::isAvailable())
        QSKIP("Tesseract with the deu and eng models is not installed");

    const QString path = m_dir.filePath(fileName);
    QImage image = invoicePage();
    if (rotated)
        image = image.transformed(QTransform().rotate(-90));
    QVERIFY(image.save(path, nullptr, 95));
    if (rotated)
        writeExif(path, {{"Exif.Image.Orientation", "6"}});

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result.has_value());
    const QString text = result->extractedText.simplified();
    const int distance = editDistance(text, Invoice);
    QVERIFY2(distance <= Invoice.size() / 20, qPrintable(QString("%1 edits: %2").arg(distance).arg(text)));
    const QStringList labels = result->metadata.value("classification").split(", ");
    QVERIFY2(labels.contains("document") && labels.contains("text"), qPrintable(labels.join(", ")));
}

void TestImageProcessor::noLabelAboveThreshold()
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 128));
    const QString path = m_dir.filePath("grey.png");
    QVERIFY(image.save(path));

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result.has_value());
    QCOMPARE(keysOf(result->metadata), QStringList{"dimensions"});
    QCOMPARE(result->extractedText, QString());
}

void TestImageProcessor::oversizedImageIsNotDecoded()
{
    const QString path = m_dir.filePath("bomb.bmp");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bmpHeader(60000, 60000));
    file.close();

    QElapsedTimer timer;
    timer.start();
    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result.has_value());
    QCOMPARE(keysOf(result->metadata), QStringList{"dimensions"});
    QCOMPARE(result->metadata.value("dimensions"), "60000x60000");
    QCOMPARE(result->extractedText, QString());
    QVERIFY(timer.elapsed() < 5000);
}

void TestImageProcessor::garbageGivesEmptyContext_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");

    QByteArray garbage(8192, Qt::Uninitialized);
    QRandomGenerator random(42);
    for (char &c : garbage)
        c = char(random.bounded(256));
    for (const QString &extension : sortedExtensions(m_processor))
        QTest::newRow(qPrintable("garbage ." + extension)) << "garbage." + extension << garbage;
    QTest::newRow("empty") << "empty.jpg" << QByteArray();
    QTest::newRow("text") << "notes.png" << QByteArray("Einkaufsliste: Milch, Brot\n");
    QTest::newRow("jpeg signature only") << "start.jpg"
                                         << QByteArray("\xFF\xD8\xFF\xE1\x00\x10"
                                                       "Exif\0\0II*\0",
                                                       16);
    QTest::newRow("missing") << "" << QByteArray();
}

void TestImageProcessor::garbageGivesEmptyContext()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);

    const QString path = m_dir.filePath(fileName.isEmpty() ? "missing.jpg" : fileName);
    if (!fileName.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result.has_value());
    QCOMPARE(result->extractedText, QString());
    QCOMPARE(keysOf(result->metadata), QStringList());
}

void TestImageProcessor::concurrentExtraction()
{
    QStringList paths;
    for (int i = 0; i < 6; ++i) {
        paths << m_dir.filePath(QString("http:camera %1 #?.jpg").arg(i));
        QVERIFY(noisyPhoto({320 + i, 200}).save(paths.last()));
        writeExif(paths.last(), {{"Exif.Image.Make", QString("Make %1").arg(i)}});
    }
    const QList<ExtractionResult> results = QtConcurrent::blockingMapped<QList<ExtractionResult>>(
        paths, [this](const QString &path) { return m_processor.extract(path); });
    for (int i = 0; i < 6; ++i) {
        QVERIFY(results[i].has_value());
        QCOMPARE(results[i]->metadata.value("camera_make"), QString("Make %1").arg(i));
        QCOMPARE(results[i]->metadata.value("dimensions"), QString("%1x200").arg(320 + i));
    }
}

QTEST_MAIN(TestImageProcessor)
#include "tst_imageprocessor.moc"
