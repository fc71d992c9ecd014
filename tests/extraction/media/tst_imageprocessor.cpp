#include "exiftags.h"
#include "extraction/media/imageclassifier.h"
#include "extraction/media/imageprocessor.h"
#include "extraction/textrecognizer.h"
#include "extractiontestkit.h"

using namespace ExtractionTestKit;

namespace {

// A baseline TIFF with one uncompressed 8-bit grey page per image, as scanners write them: each
// page's directory of LONG entries, then its pixels.
QByteArray multiPageTiff(const QList<QImage> &pages)
{
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    quint32 offset = 8;
    stream << quint8('I') << quint8('I') << quint16(42) << offset;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QImage grey = pages[i].convertToFormat(QImage::Format_Grayscale8);
        const quint32 width = grey.width(), height = grey.height(), strip = offset + 2 + 9 * 12 + 4; // after 9 entries
        offset = strip + ((width * height + 1) & ~1U); // the next directory starts on a word boundary
        const QList<std::pair<quint16, quint32>> entries{
            {256, width},  {257, height},         {258, 8}, {259, 1}, {262, 1}, {273, strip}, {277, 1},
            {278, height}, {279, width * height},
        };
        stream << quint16(entries.size());
        for (const auto &[tag, value] : entries)
            stream << tag << quint16(4) << quint32(1) << value;
        stream << (i + 1 < pages.size() ? offset : 0U);
        for (quint32 y = 0; y < height; ++y)
            stream.writeRawData(reinterpret_cast<const char *>(grey.constScanLine(int(y))), int(width));
        if (width * height % 2)
            stream << quint8(0);
    }
    return out;
}

// Saves `image` with `tags` in the format the name gives; a TIFF gets a second page of other text, a
// HEIC is encoded from a JPEG by heif-enc.
void writePicture(const QString &path, const QImage &image, const Tags &tags)
{
    const bool heic = path.endsWith(".HEIC");
    const QString saved = heic ? path + ".jpg" : path;
    if (path.endsWith(".tiff")) {
        QImage second(image.size(), QImage::Format_RGB32);
        second.fill(Qt::white);
        QPainter(&second).drawText(QRect(200, 250, 2000, 300), "Zweite Seite mit anderem Text");
        QVERIFY(!writeFile(path, multiPageTiff({image, second})).isEmpty());
    } else {
        QVERIFY2(image.save(saved, nullptr, heic ? 95 : -1), qPrintable(saved)); // WebP: qt6-image-formats-plugins
    }
    if (!tags.isEmpty())
        writeExif(saved, tags);
    if (heic) {
        const QString encoder = QStandardPaths::findExecutable("heif-enc");
        QVERIFY2(!encoder.isEmpty(), "heif-enc (libheif-examples) is missing: run scripts/install-deps.sh");
        QProcess process;
        process.start(encoder, {"-q", "90", "-o", path, saved});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
    }
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

// An image editor's small window: menu bar, canvas and status bar in an 11-pixel UI font, no
// resolution of its own (as screenshots are saved).
QImage editorScreenshot(const QString &menu, const QStringList &lines)
{
    QImage screen(460, 340, QImage::Format_RGB32);
    screen.fill(QColor(237, 237, 237));
    QPainter painter(&screen);
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    painter.setFont(font);
    painter.drawText(8, 16, menu);
    painter.fillRect(20, 60, 420, 200, Qt::white);
    for (qsizetype i = 0; i < lines.size(); ++i)
        painter.drawText(30, 90 + int(i) * 22, lines[i]);
    painter.drawText(8, 330, "px  100 %");
    return screen;
}

// A boot diagram: boxes of paths and type names, which no dictionary holds, joined by arrows.
QImage bootDiagram(QSize size, int fontPixels)
{
    QImage diagram(size, QImage::Format_RGB32);
    diagram.fill(Qt::white);
    QPainter painter(&diagram);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font("DejaVu Sans Mono");
    font.setPixelSize(fontPixels);
    painter.setFont(font);
    const QStringList boxes{"vmlinuz",    "kernel_t",   "initramfs", "/sbin/init",     "init_t",       "systemd-udevd",
                            "/etc/fstab", "getty@tty1", "sshd_t",    "/usr/sbin/sshd", "unconfined_t", "login_t"};
    const int columnStep = size.width() / 3;
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        const QRect box(60 + int(i % 3) * columnStep, 60 + int(i / 3) * size.height() / 4, columnStep * 4 / 5,
                        fontPixels * 3);
        painter.drawRect(box);
        painter.drawText(box, Qt::AlignCenter, boxes[i]);
        if (i % 3 < 2)
            painter.drawLine(box.right(), box.center().y(), box.left() + columnStep, box.center().y());
    }
    return diagram;
}

// A photo of a station sign in large letters under a blue sky, over green, with sensor noise.
QImage stationSign()
{
    QImage photo(3200, 2400, QImage::Format_RGB32);
    QPainter painter(&photo);
    QLinearGradient sky(0, 0, 0, 2400);
    sky.setColorAt(0, QColor(60, 110, 200));
    sky.setColorAt(0.6, QColor(170, 200, 235));
    sky.setColorAt(0.61, QColor(70, 130, 50));
    sky.setColorAt(1, QColor(40, 90, 30));
    painter.fillRect(photo.rect(), sky);
    painter.fillRect(800, 700, 1600, 420, QColor(245, 245, 235));
    QFont font("DejaVu Sans");
    font.setPixelSize(200);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(20, 40, 90));
    painter.drawText(QRect(800, 700, 1600, 420), Qt::AlignCenter, "Hauptbahnhof");
    painter.end();
    QRandomGenerator random(5);
    for (int y = 0; y < photo.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const int n = int(random.bounded(31)) - 15;
            line[x] = qRgb(std::clamp(qRed(line[x]) + n, 0, 255), std::clamp(qGreen(line[x]) + n, 0, 255),
                           std::clamp(qBlue(line[x]) + n, 0, 255));
        }
    }
    return photo;
}

} // namespace

class TestImageProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(TextRecognizer::isAvailable(), "Tesseract with deu+eng is missing: run scripts/install-deps.sh");
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QImage>("image");
        QTest::addColumn<Tags>("tags");
        QTest::addColumn<MetadataMap>("expected"); // all but the classification
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text"); // Invoice: the invoice line read; else a line of the text, if any
        const auto row = [](const char *name, const QString &file, const QImage &image, const Tags &tags,
                            const MetadataMap &expected, const QString &label, const QString &text = {}) {
            QTest::newRow(name) << file << image << tags << expected << label << text;
        };

        // Text values are trimmed; south and west give negative coordinates.
        QImage photo(640, 480, QImage::Format_RGB32);
        photo.fill(QColor(90, 140, 60));
        const Tags south{
            {"Exif.Image.Make", "Canon "},
            {"Exif.Image.Model", "  Canon EOS R6  "},
            {"Exif.Photo.DateTimeOriginal", "2024:03:15 14:22:05"},
            {"Exif.Photo.LensMake", "Sigma"},
            {"Exif.GPSInfo.GPSLatitude", "52/1 30/1 0/1"},
            {"Exif.GPSInfo.GPSLatitudeRef", "S"},
            {"Exif.GPSInfo.GPSLongitude", "11/1 34/1 300/10"},
            {"Exif.GPSInfo.GPSLongitudeRef", "W"},
        };
        const MetadataMap southRead{
            {"date", "2024:03:15 14:22:05"},  {"lens", "Sigma"},         {"camera_make", "Canon"},
            {"camera_model", "Canon EOS R6"}, {"gps", "-52.5, -11.575"}, {"dimensions", "640x480"},
        };
        row("camera photo", "photo.jpg", photo, south, southRead, "photo");
        const Tags north{
            {"Exif.Image.Make", "OLYMPUS IMAGING CORP.  "}, {"Exif.Photo.DateTimeDigitized", "2019:07:01 08:00:00"},
            {"Exif.GPSInfo.GPSLatitude", "23/1 31/1 12/1"}, {"Exif.GPSInfo.GPSLatitudeRef", "N"},
            {"Exif.GPSInfo.GPSLongitude", "47/1 30/1 0/1"}, {"Exif.GPSInfo.GPSLongitudeRef", "E"},
        };
        const MetadataMap northRead{
            {"date", "2019:07:01 08:00:00"},
            {"camera_make", "OLYMPUS IMAGING CORP."},
            {"gps", "23.52, 47.5"},
            {"dimensions", "640x480"},
        };
        row("north east, digitised date", "nord.jpg", photo, north, northRead, "photo");
        row("XMP date only", "xmp.jpg", photo, {{"Xmp.xmp.CreateDate", "2021-12-24T18:30:00"}},
            {{"date", "2021-12-24T18:30:00"}, {"dimensions", "640x480"}}, "landscape_format");
        // Placeholders and the unset position 0, 0 do not reach the model.
        const Tags placeholders{
            {"Exif.Image.Make", "unknown"},       {"Exif.Image.Model", "--"},           {"Exif.Photo.LensMake", "-"},
            {"Exif.Photo.DateTimeOriginal", "0"}, {"Exif.Image.ImageDescription", " "},
        };
        row("placeholders dropped", "leer.jpg", photo, placeholders, {{"dimensions", "640x480"}}, "landscape_format");
        const Tags noFix{
            {"Exif.Image.Make", "Canon"},          {"Exif.GPSInfo.GPSLatitude", "0/1 0/1 0/1"},
            {"Exif.GPSInfo.GPSLatitudeRef", "N"},  {"Exif.GPSInfo.GPSLongitude", "0/1 0/1 0/1"},
            {"Exif.GPSInfo.GPSLongitudeRef", "E"},
        };
        row("GPS 0, 0 dropped", "ohnefix.jpg", photo, noFix, {{"camera_make", "Canon"}, {"dimensions", "640x480"}},
            "photo");
        // A caption: EXIF, XMP, then IPTC, as one line; firmware's vendor names are no caption.
        row("XMP description behind firmware junk", "oma.jpg", photo,
            {{"Exif.Image.ImageDescription", "OLYMPUS DIGITAL CAMERA"},
             {"Xmp.dc.description", "lang=\"x-default\" Geburtstag von Oma"}},
            {{"description", "Geburtstag von Oma"}, {"dimensions", "640x480"}}, "landscape_format");
        row("XMP description, first language", "kita.jpg", photo,
            {{"Xmp.dc.description", "lang=\"de-DE\" Sommerfest der Kita"}},
            {{"description", "Sommerfest der Kita"}, {"dimensions", "640x480"}}, "landscape_format");
        row("IPTC caption behind a placeholder", "taufe.jpg", photo,
            {{"Exif.Image.ImageDescription", "--"}, {"Iptc.Application2.Caption", "Taufe in der Dorfkirche"}},
            {{"description", "Taufe in der Dorfkirche"}, {"dimensions", "640x480"}}, "landscape_format");
        row("firmware description ignored", "DSC00042.jpg", photo,
            {{"Exif.Image.Make", "SONY"}, {"Exif.Image.ImageDescription", "SONY DSC"}},
            {{"camera_make", "SONY"}, {"dimensions", "640x480"}}, "photo");
        row("a program's note is no caption", "logo.jpg", photo,
            {{"Exif.Image.ImageDescription", "Created with GIMP"}, {"Iptc.Application2.Caption", "Firmenlogo"}},
            {{"description", "Firmenlogo"}, {"dimensions", "640x480"}}, "landscape_format");
        row("gd's note is no caption", "avatar.jpg", photo,
            {{"Exif.Image.ImageDescription", "CREATOR: gd-jpeg v1.0 (using IJG JPEG v62), quality = 90"}},
            {{"dimensions", "640x480"}}, "landscape_format");
        row("EXIF description over lines, cut", "wanderung.jpg", photo,
            {{"Exif.Image.ImageDescription", "  " + QString("Wanderung\n  ").repeated(40)}},
            {{"description", QString("Wanderung ").repeated(30).trimmed()}, {"dimensions", "640x480"}},
            "landscape_format");
        row("screenshot keeps its text", "Bildschirmfoto Dateien.png", fileManagerScreenshot(), {},
            {{"dimensions", "1920x1080"}}, "screenshot", "Rechnung 4705 Telekom Deutschland.pdf");
        // Letters 9 pixels tall are a screen's, not a 300-dpi page's 2-point print.
        const QImage french = editorScreenshot(
            "Fichier  Édition  Sélection  Affichage  Image  Calque  Outils",
            {"Facture n° 4711 du 15 mars 2024", "Montant à payer : 49,99 euros", "Arrière-plan (316 ko)"});
        row("French screenshot", "capture.png", french, {}, {{"dimensions", "460x340"}}, "landscape_format",
            "Affichage Image Calque");
        // No installed language reads Cyrillic: said, not silently nothing.
        const QImage russian = editorScreenshot("Файл  Правка  Выделение  Вид  Изображение  Слой  Сервис",
                                                {"Счёт за услуги связи", "Сумма к оплате в евро",
                                                 "Пожалуйста, оплатите до конца месяца", "Фон изображения"});
        row("Russian screenshot", "snimok.png", russian, {},
            {{"dimensions", "460x340"},
             {"recognition", "Text in kyrillischer Schrift nicht gelesen: keine Sprachdaten dafür installiert"}},
            "landscape_format");
        row("invoice text", "scan.png", invoicePage(600), {}, {{"dimensions", "2480x600"}}, "document", Invoice);
        // Scanner and phone formats; a TIFF's first page only.
        row("tiff, two pages", "scan.tiff", invoicePage(700), {}, {{"dimensions", "2480x700"}}, "document", Invoice);
        row("webp", "scan.webp", invoicePage(700), {}, {{"dimensions", "2480x700"}}, "document", Invoice);
        row("heic with EXIF", "IMG_0001.HEIC", invoicePage(700),
            {{"Exif.Image.Make", "Apple"}, {"Exif.Image.Model", "iPhone 12"}},
            {{"camera_make", "Apple"}, {"camera_model", "iPhone 12"}, {"dimensions", "2480x700"}}, "document", Invoice);
        // Tesseract reads "u | Le! | a ow a | > m …" (mean confidence 41, few words) and
        // "% Lak | 24 mao | DAX TI …" (confidence 52) into these.
        row("circuit board: junk dropped", "platine.png", circuitBoard(9), {}, {{"dimensions", "1200x900"}},
            "landscape_format");
        // Fine print on white is lost in a small copy; such a picture is no scene to glance at.
        row("fine print on white", "klassen.jpg", bootDiagram({1200, 1700}, 14), {}, {{"dimensions", "1200x1700"}},
            "portrait_format", "systemd-udevd");
        // A scene is read small first; a sign in large letters is read all the same.
        row("sign in a photo", "bahnhof.jpg", stationSign(), {}, {{"dimensions", "3200x2400"}}, "photo",
            "Hauptbahnhof");
        row("circuit board: confident junk dropped", "platine2.png", circuitBoard(8), {}, {{"dimensions", "1200x900"}},
            "landscape_format");
    }

    void pictures()
    {
        QFETCH(QString, fileName);
        QFETCH(QImage, image);
        QFETCH(Tags, tags);
        QFETCH(MetadataMap, expected);
        QFETCH(QString, label);
        QFETCH(QString, text);
        const QString path = m_dir.filePath(fileName);
        writePicture(path, image, tags);
        if (QTest::currentTestFailed())
            return;

        const ExtractionResult result = ImageProcessor().extract(path);
        QVERIFY(result);
        MetadataMap metadata = result->metadata;
        const QString labels = metadata.value("classification");
        metadata.remove("classification");
        QCOMPARE(metadata, expected);
        QVERIFY2(labels.split(", ").contains(label), qPrintable(labels));
        if (text == Invoice)
            QVERIFY2(invoiceRecognised(result->extractedText), qPrintable(result->extractedText));
        else
            QVERIFY2(text.isEmpty() ? result->extractedText.isEmpty() : result->extractedText.contains(text),
                     qPrintable(result->extractedText));
    }

    // The labels shown: those above 0.3, in the classifier's order, at most five.
    void selectLabels_data()
    {
        using ImageClassifier::Label;
        QTest::addColumn<QList<Label>>("labels");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none above 0.3") << QList<Label>{{"a", 0.3F}, {"b", 0.1F}, {"c", 0.0F}} << "";
        QTest::newRow("just above, order kept")
            << QList<Label>{{"low", 0.30001F}, {"high", 0.99F}, {"x", 0.3F}, {"mid", 0.5F}} << "low, high, mid";
        QTest::newRow("more than five: first five, skipped labels do not count")
            << QList<Label>{{"a", 0.9F}, {"x", 0.2F}, {"b", 0.8F}, {"c", 0.7F}, {"d", 0.6F}, {"e", 0.5F}, {"f", 0.95F}}
            << "a, b, c, d, e";
    }

    void selectLabels()
    {
        QFETCH(QList<ImageClassifier::Label>, labels);
        QTEST(ImageClassifier::selectLabels(labels), "expected");
    }

    // Names and paths read confidently are text; lone characters and digits are what scribbles give.
    void credibleWords_data()
    {
        using Words = QList<TextRecognizer::Word>;
        QTest::addColumn<Words>("words");
        QTest::addColumn<bool>("credible");
        QTest::newRow("nothing") << Words{} << false;
        QTest::newRow("diagram: arrows and box edges left out")
            << Words{{"vmlinuz", 72},   {"|}", 10}, {"kernel_t", 92}, {"+", 12},
                     {"initramfs", 90}, {"[+", 14}, {"init_t", 74},   {"4", 49}}
            << true;
        QTest::newRow("invoice: dictionary words and amounts")
            << Words{{"Rechnung", 70, true}, {"Nr.", 65}, {"4711", 66}, {"Betrag", 72, true}, {"49,99", 70}} << true;
        QTest::newRow("sketch: lone characters and digits")
            << Words{{"j", 80}, {"3", 95}, {"/", 70}, {"Ga", 88}, {"=", 75}, {"/", 70}, {"7", 96}, {"2", 96}} << false;
        Words boxes(60, {"l|", 40}); // fragments with a letter: no marks, counted in the mean
        for (const char *name : {"rustc", "cargo", "llvm", "crate", "lib.rs", "main.rs", "deps", "target", "build",
                                 "debug", "release", "Cargo.toml"})
            boxes << TextRecognizer::Word{name, 92};
        QTest::newRow("diagram: a dozen names among its boxes and arrows") << boxes << true;
        QTest::newRow("a dozen names in a sea of junk") << (boxes + Words(40, {"ij", 20})) << false;
        QTest::newRow("names read unsurely") << Words{{"kernel_t", 70}, {"/sbin/init", 75}, {"ab", 80}} << false;
        QTest::newRow("confident words, low mean")
            << Words{{"Telekom", 95, true}, {"%", 20}, {"Lak", 30}, {"mao", 25}} << false;
    }

    void credibleWords()
    {
        QFETCH(QList<TextRecognizer::Word>, words);
        QTEST(TextRecognizer::isCredible(words), "credible");
    }

    // A reading that is junk as a whole keeps only the lines read surely around a real word.
    void credibleText_data()
    {
        using Words = QList<TextRecognizer::Word>;
        QTest::addColumn<QString>("text");
        QTest::addColumn<Words>("words");
        QTest::addColumn<bool>("page");
        QTest::addColumn<QString>("expected");
        // What a box plot with turned labels reads as; only its title is read surely.
        const Words chart{{"ose=Bulpooue", 20, false, 0}, {"gz", 30, false, 0},       {"sfsapooep", 10, false, 0},
                          {"Buijs", 25, false, 1},        {"QOOOSZ=U", 15, false, 1}, {"L=USJUl", 12, false, 1},
                          {"benchmark", 97, true, 2},     {"4e+06", 92, false, 3},    {"Jo", 93, true, 3}};
        const QString chartText = "ose=Bulpooue gz sfsapooep\nBuijs QOOOSZ=U L=USJUl\nbenchmark\n4e+06 Jo";
        QTest::newRow("chart: its title") << chartText << chart << false << "benchmark";
        Words unsure = chart;
        unsure[6].confidence = 88;
        QTest::newRow("title read unsurely") << chartText << unsure << false << "";
        Words crowded = chart;
        crowded[6].line = 1;
        QTest::newRow("title beside junk")
            << "ose=Bulpooue gz sfsapooep\nBuijs QOOOSZ=U L=USJUl benchmark\n4e+06 Jo" << crowded << false << "";
        // What is no text in a credible reading: a diagram's rows of dots, a photo's edges read
        // before its text.
        QTest::newRow("dots dropped") << "Processes and domains\n.\n.\n.\n/sbin/init init_exec_t"
                                      << Words{{"Processes", 92, true, 0},   {"and", 97, true, 0},
                                               {"domains", 96, true, 0},     {".", 64, false, 1},
                                               {".", 54, false, 2},          {".", 41, false, 3},
                                               {"/sbin/init", 92, false, 4}, {"init_exec_t", 89, false, 4}}
                                      << false << "Processes and domains\n/sbin/init init_exec_t";
        QTest::newRow("noise before a photo's text dropped")
            << "« ¢ Magic,\nPeek. {\nof Nee\nAdaptive Resize | Adaptive Sharpen"
            << Words{{"«", 15, false, 0},     {"¢", 7, false, 0},  {"Magic,", 57, false, 0},  {"Peek.", 29, true, 1},
                     {"{", 84, false, 1},     {"of", 33, true, 2}, {"Nee", 9, true, 2},       {"Adaptive", 89, true, 3},
                     {"Resize", 85, true, 3}, {"|", 45, false, 3}, {"Adaptive", 93, true, 3}, {"Sharpen", 97, true, 3}}
            << false << "Adaptive Resize Adaptive Sharpen";
        QTest::newRow("page: its unsure words stay")
            << "Lieferdatum 22. Juli 2022\nStadt Leipzig"
            << Words{{"Lieferdatum", 91, false, 0}, {"22.", 88, false, 0},  {"Juli", 10, true, 0},
                     {"2022", 44, false, 0},        {"Stadt", 97, true, 1}, {"Leipzig", 54, true, 1}}
            << true << "Lieferdatum 22. Juli 2022\nStadt Leipzig";
    }

    void credibleText()
    {
        QFETCH(QString, text);
        QFETCH(QList<TextRecognizer::Word>, words);
        QFETCH(bool, page);
        QTEST(TextRecognizer::credibleText({text, words, {}, page}), "expected");
    }

    // Recognition sees at most 3000 pixels along the longer edge, and still reads the line.
    void recognitionIsBounded()
    {
        const TextRecognizer::Reading reading = TextRecognizer::read(invoicePage(600).scaled(7440, 1800));
        QCOMPARE(reading.size, QSize(3000, 725));
        QVERIFY2(TextRecognizer::isCredible(reading.words), qPrintable(reading.text));
        QVERIFY2(invoiceRecognised(reading.text), qPrintable(reading.text));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestImageProcessor)
#include "tst_imageprocessor.moc"
