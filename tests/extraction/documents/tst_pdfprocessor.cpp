#include "common/unicodetext.h"
#include "extraction/documents/pdfprocessor.h"
#include "extraction/textrecognizer.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString ScanText = "Rechnung Nr. 4711 vom 15.03.2024, Telekom Deutschland GmbH, Betrag 49,99 EUR";
constexpr int Dpi = 300;

QFont documentFont(int pointSize)
{
    QFont font("DejaVu Sans");
    font.setPointSize(pointSize);
    return font;
}

// An A4 page of 300 dpi with the text drawn in 12 pt, wrapped; nothing but pixels.
QImage scannedPage(const QString &text)
{
    QImage image(2480, 3508, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(Dpi / 0.0254));
    image.setDotsPerMeterY(qRound(Dpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(documentFont(12));
    painter.setPen(Qt::black);
    painter.drawText(QRect(200, 250, 2000, 1500), Qt::TextWordWrap, text);
    return image;
}

// Each entry is one page: its text layer (may be empty) and an optional image covering the page.
struct Page {
    QString text;
    QImage image;
};

void writePdf(const QString &path, const QList<Page> &pages)
{
    QPdfWriter writer(path);
    writer.setResolution(Dpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        if (!pages[i].image.isNull())
            painter.drawImage(QRect(0, 0, writer.width(), writer.height()), pages[i].image);
        if (!pages[i].text.isEmpty()) {
            painter.setFont(documentFont(11));
            painter.drawText(QRect(200, 120, 2000, 100), Qt::AlignLeft, pages[i].text);
        }
    }
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
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

QString layerText(int length)
{
    return QString("abcdefghij").repeated(6).left(length);
}

} // namespace

class TestPdfProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void textLayerOfFirstTenPages();
    void recognitionThreshold_data();
    void recognitionThreshold();
    void scannedPageIsRecognized();
    void blankScanKeepsEmptyTextLayer();
    void badInput_data();
    void badInput();

private:
    QTemporaryDir m_dir;
    const PDFProcessor m_processor;
};

void TestPdfProcessor::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(TextRecognizer::isAvailable(), "Tesseract with deu+eng is needed");
}

void TestPdfProcessor::textLayerOfFirstTenPages()
{
    QList<Page> pages;
    QString expected;
    for (int i = 1; i <= 30; ++i) {
        pages << Page{QString("Seite %1 von 30, Kundennummer %2").arg(i).arg(1000 + i), {}};
        if (i <= 10)
            expected += pages.last().text + "\n";
    }
    const QString path = m_dir.filePath("Bericht.PDF");
    writePdf(path, pages);
    QVERIFY(m_processor.canProcess(path));

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result);
    QCOMPARE(result->extractedText, expected);
    QCOMPARE(result->metadata, MetadataMap({{"source", "pdfkit"}}));
    QCOMPARE(result->fileName, "Bericht.PDF");
    QCOMPARE(result->fileSize, QFileInfo(path).size());
}

void TestPdfProcessor::recognitionThreshold_data()
{
    QTest::addColumn<int>("layerLength");
    QTest::addColumn<QString>("source");

    // A thin text layer above a scanned block that recognition reads.
    QTest::newRow("49 characters: recognised") << 49 << "ocr";
    QTest::newRow("50 characters: text layer") << 50 << "pdfkit";
}

void TestPdfProcessor::recognitionThreshold()
{
    QFETCH(int, layerLength);
    QFETCH(QString, source);

    const QString layer = layerText(layerLength);
    const QString path = m_dir.filePath(QString("schwelle%1.pdf").arg(layerLength));
    writePdf(path, {Page{layer, scannedPage(ScanText + "\n" + ScanText)}});

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result);
    QCOMPARE(result->metadata.value("source"), source);
    if (source == "pdfkit")
        QCOMPARE(result->extractedText, layer + "\n");
    else
        QVERIFY2(result->extractedText.contains("Telekom"), qPrintable(result->extractedText));
}

void TestPdfProcessor::scannedPageIsRecognized()
{
    const QString path = m_dir.filePath("scan.pdf");
    writePdf(path, {Page{{}, scannedPage(ScanText)}});

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result);
    QCOMPARE(result->metadata, MetadataMap({{"source", "ocr"}}));
    const QString recognized = result->extractedText.simplified();
    const int distance = editDistance(recognized, ScanText);
    qInfo("recognised with %d edits: %s", distance, qPrintable(recognized));
    QVERIFY2(distance <= ScanText.size() / 20,
             qPrintable(QString("%1 edits in \"%2\"").arg(distance).arg(recognized)));
}

void TestPdfProcessor::blankScanKeepsEmptyTextLayer()
{
    QImage blank(1240, 1754, QImage::Format_RGB32);
    blank.fill(Qt::white);
    const QString path = m_dir.filePath("leer.pdf");
    writePdf(path, {Page{{}, blank}});

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result);
    QCOMPARE(result->extractedText, QString());
    QCOMPARE(result->metadata, MetadataMap({{"source", "pdfkit"}}));
}

void TestPdfProcessor::badInput_data()
{
    QTest::addColumn<QByteArray>("content");

    const QString textPath = m_dir.filePath("ganz.pdf");
    writePdf(textPath, {Page{"Ein vollständiges Dokument mit ausreichend viel Text in der Ebene", {}}});
    QFile whole(textPath);
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QByteArray complete = whole.readAll();

    // Standard security handler whose empty user password does not match: opening needs a password.
    QByteArray encrypted = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    const QList<QByteArray> objects{
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R >>",
        "<< /Length 16 >>\nstream\n\x8f\x13\xa7\x01\x55\xee\x42\x90\x17\xc3\x3b\x6d\x0a\x99\xf1\x20\nendstream",
        "<< /Filter /Standard /V 1 /R 2 /P -44 /O <" + QByteArray(64, 'A') + "> /U <" + QByteArray(64, 'B')
            + "> >>",
    };
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << encrypted.size();
        encrypted += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = encrypted.size();
    encrypted += "xref\n0 6\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        encrypted += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    encrypted += "trailer\n<< /Size 6 /Root 1 0 R /Encrypt 5 0 R /ID [<0123456789ABCDEF0123456789ABCDEF>"
                 " <0123456789ABCDEF0123456789ABCDEF>] >>\nstartxref\n"
                 + QByteArray::number(xref) + "\n%%EOF\n";

    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(4711);
    generator.fillRange(reinterpret_cast<quint32 *>(garbage.data()), garbage.size() / 4);

    QTest::newRow("truncated") << complete.left(complete.size() / 3);
    QTest::newRow("encrypted") << encrypted;
    QTest::newRow("garbage") << garbage;
    QTest::newRow("header and garbage") << "%PDF-1.7\n" + garbage;
    QTest::newRow("empty") << QByteArray();
}

void TestPdfProcessor::badInput()
{
    QFETCH(QByteArray, content);

    const QString path = m_dir.filePath(QString("kaputt-%1.pdf").arg(QTest::currentDataTag()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result);
    QCOMPARE(result->extractedText, QString());
    QCOMPARE(result->metadata, MetadataMap({{"source", "pdfkit"}}));
}

QTEST_MAIN(TestPdfProcessor)
#include "tst_pdfprocessor.moc"
