#include "extraction/documents/pdfpagetext.h"
#include "extraction/documents/pdfprocessor.h"
#include "extraction/textrecognizer.h"
#include "extractiontestkit.h"

using namespace ExtractionTestKit;

namespace {

// The standard security handler with an owner and user key that the empty password does not match;
// there is no cross-reference table, so the reader rebuilds it.
const QByteArray EncryptedPdf = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
                                "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n"
                                "3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>\nendobj\n"
                                "4 0 obj\n<< /Filter /Standard /V 1 /R 2 /P -44 /O <" +
                                QByteArray(64, 'A') + "> /U <" + QByteArray(64, 'B') +
                                "> >>\nendobj\ntrailer\n<< /Root 1 0 R /Encrypt 4 0 R /ID "
                                "[<0123456789ABCDEF0123456789ABCDEF> <0123456789ABCDEF0123456789ABCDEF>] >>\n%%EOF\n";

} // namespace

class TestPdfProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(TextRecognizer::isAvailable(), "Tesseract with deu+eng is needed");
    }

    // A text layer: columns one after the other, not interleaved line by line; a word hyphenated
    // across a line end joined when the next line goes on in lower case; the first ten pages only.
    // Under 50 characters of it over a scanned invoice, the page is recognised instead.
    void pages_data()
    {
        QTest::addColumn<QList<PdfPage>>("pages");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expected"); // Invoice: the invoice line, recognised after the layer
        QStringList left, middle, right;
        for (int i = 1; i <= 6; ++i) {
            left << QString("Links Zeile %1 hier").arg(i);
            middle << QString("Mitte Zeile %1 dort").arg(i);
            right << QString("Rechts Zeile %1 am Rand").arg(i);
        }
        QTest::newRow("three columns") << QList<PdfPage>{{{left, middle, right}}} << "pdfkit"
                                       << (left + middle + right).join("\n") + "\n";
        QTest::newRow("hyphen joined") << QList<PdfPage>{{{{"Die Abrechnung wurde von unserem System au-",
                                                            "tomatisch erstellt und versandt.", "Kontakt: Telekom-",
                                                            "Deutschland GmbH, Bonn"}}}}
                                       << "pdfkit"
                                       << "Die Abrechnung wurde von unserem System automatisch erstellt und versandt.\n"
                                          "Kontakt: Telekom-\nDeutschland GmbH, Bonn\n";
        // Right-to-left lines in the order they were written, numbers and Latin names kept left to right.
        const QStringList hebrew{"שלום עולם, זהו מסמך בדיקה (טיוטה)",
                                 "חשבונית מספר 4711 מחברת Telekom Deutschland בסך 49.99 אירו",
                                 "Latin line with עברית inside it"};
        QTest::newRow("hebrew") << QList<PdfPage>{{{hebrew}}} << "pdfkit" << hebrew.join("\n") + "\n";
        const QStringList arabic{"مرحبا بالعالم، هذه وثيقة اختبار", "فاتورة رقم 4711 من شركة Telekom بمبلغ 49.99 يورو"};
        QTest::newRow("arabic") << QList<PdfPage>{{{arabic}}} << "pdfkit" << arabic.join("\n") + "\n";
        QList<PdfPage> thirty;
        QStringList firstTen;
        for (int i = 1; i <= 30; ++i) {
            thirty.append({{{QString("Seite %1 von 30, Kundennummer %2").arg(i).arg(1000 + i)}}});
            if (i <= 10)
                firstTen << thirty.last().columns[0];
        }
        QTest::newRow("first ten of 30 pages") << thirty << "pdfkit" << firstTen.join("\n") + "\n";
        const QString layer = QString("abcdefghij").repeated(5);
        QTest::newRow("49 characters: recognised")
            << QList<PdfPage>{{{{layer.left(49)}}, invoicePage()}} << "ocr" << Invoice;
        QTest::newRow("50 characters: text layer")
            << QList<PdfPage>{{{{layer}}, invoicePage()}} << "pdfkit" << layer + "\n";
        // Recognition reads a short layer's word again, with the marks around it ("< minimal )").
        QImage marks(2480, 3508, QImage::Format_RGB32);
        marks.setDotsPerMeterX(11811);
        marks.setDotsPerMeterY(11811);
        marks.fill(Qt::white);
        QPainter painter(&marks);
        painter.setFont(QFont("DejaVu Sans", 11));
        painter.drawText(QPoint(130, 160), "<");
        painter.drawText(QPoint(200 + painter.fontMetrics().horizontalAdvance("minimal") + 30, 160), ")");
        painter.end();
        QTest::newRow("short layer amid marks: text layer") << QList<PdfPage>{{{{"minimal"}}, marks}} << "pdfkit"
                                                            << "minimal\n";
    }

    void pages()
    {
        QFETCH(QList<PdfPage>, pages);
        QFETCH(QString, source);
        QFETCH(QString, expected);
        const QString path = m_dir.filePath(QString(QTest::currentDataTag()) + ".pdf");
        writePdf(path, pages);

        const ExtractionResult result = m_processor.extract(path);
        QVERIFY(result);
        QCOMPARE(result->metadata, MetadataMap({{"source", source}}));
        const QString text = result->extractedText;
        if (expected == Invoice) // recognition reads the thin layer too
            QVERIFY2(invoiceRecognised(text.mid(text.indexOf("Rechnung"))), qPrintable(text));
        else
            QCOMPARE(text, expected);
    }

    // Right-to-left lines as Poppler gives them (left to right as printed) back in written order.
    // Marks follow their letter: shaped right to left, a mark stands to its letter's left; a sign
    // shaped left to right inside the line ("◌ِّ" in a font's chart) keeps its marks to its right.
    void printedLines_data()
    {
        QTest::addColumn<QStringList>("printed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("marks of a letter") << QStringList{"تلك\u064Fش"} << "ش\u064Fكلت";
        QTest::newRow("marks of a sign shaped left to right")
            << QStringList{"انه", "\u25CC\u0651\u0650", "فرح"} << "حرف \u25CC\u0650\u0651 هنا";
    }

    void printedLines()
    {
        QFETCH(QStringList, printed);
        std::vector<PDFPageText::Word> words;
        for (qsizetype i = 0; i < printed.size(); ++i)
            words.push_back({printed[i], true, i + 1 == printed.size()});
        QTEST(PDFPageText::compose(words), "expected");
    }

    void unreadableGivesEmptyText()
    {
        QFile whole(writePdf(m_dir.filePath("ganz.pdf"), {{{{"Ein vollständiges Dokument mit viel Text darin"}}}}));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QByteArray complete = whole.readAll();

        for (const QByteArray &content : {complete.left(complete.size() / 3), EncryptedPdf}) {
            const QString path = writeFile(m_dir.filePath("kaputt.pdf"), content);
            const ExtractionResult result = m_processor.extract(path);
            QVERIFY(result);
            QCOMPARE(result->extractedText, QString());
            QCOMPARE(result->metadata, MetadataMap({{"source", "pdfkit"}}));
        }
    }

private:
    QTemporaryDir m_dir;
    const PDFProcessor m_processor;
};

QTEST_MAIN(TestPdfProcessor)
#include "tst_pdfprocessor.moc"
