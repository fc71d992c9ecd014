#include "extraction/documents/pdfprocessor.h"
#include "extraction/textrecognizer.h"
#include "extractiontestkit.h"

#include <QTemporaryDir>
#include <QTest>

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

    void textLayerOfFirstTenPages()
    {
        QList<PdfPage> pages;
        QString expected;
        for (int i = 1; i <= 30; ++i) {
            pages.append({{{QString("Seite %1 von 30, Kundennummer %2").arg(i).arg(1000 + i)}}});
            if (i <= 10)
                expected += pages.last().columns[0][0] + "\n";
        }
        const QString path = m_dir.filePath("Bericht.PDF");
        writePdf(path, pages);

        const ExtractionResult result = m_processor.extract(path);
        QVERIFY(result);
        QCOMPARE(result->extractedText, expected);
        QCOMPARE(result->metadata, MetadataMap({{"source", "pdfkit"}}));
    }

    // Columns come out one after the other, not interleaved line by line; a word hyphenated
    // across a line end is joined when the next line goes on in lower case.
    void readingOrder_data()
    {
        QTest::addColumn<QList<QStringList>>("columns");
        QTest::addColumn<QString>("expected");

        QStringList left, middle, right;
        for (int i = 1; i <= 6; ++i) {
            left << QString("Links Zeile %1 hier").arg(i);
            middle << QString("Mitte Zeile %1 dort").arg(i);
            right << QString("Rechts Zeile %1 am Rand").arg(i);
        }
        QTest::newRow("two columns") << QList<QStringList>{left, right}
                                     << left.join("\n") + "\n" + right.join("\n") + "\n";
        QTest::newRow("three columns") << QList<QStringList>{left, middle, right}
                                       << left.join("\n") + "\n" + middle.join("\n") + "\n" + right.join("\n") + "\n";
        QTest::newRow("hyphen joined") << QList<QStringList>{{"Die Abrechnung wurde von unserem System au-",
                                                              "tomatisch erstellt und versandt.", "Kontakt: Telekom-",
                                                              "Deutschland GmbH, Bonn"}}
                                       << "Die Abrechnung wurde von unserem System automatisch erstellt und versandt.\n"
                                          "Kontakt: Telekom-\nDeutschland GmbH, Bonn\n";
    }

    void readingOrder()
    {
        QFETCH(QList<QStringList>, columns);
        QFETCH(QString, expected);
        const QString path = m_dir.filePath(QString("spalten%1.pdf").arg(columns.size()));
        writePdf(path, {{columns}});

        const ExtractionResult result = m_processor.extract(path);
        QVERIFY(result);
        QCOMPARE(result->extractedText, expected);
    }

    void recognitionThreshold_data()
    {
        QTest::addColumn<int>("layerLength");
        QTest::addColumn<QString>("source");

        // A text layer of so many characters above a scanned invoice.
        QTest::newRow("scan only") << 0 << "ocr";
        QTest::newRow("49 characters: recognised") << 49 << "ocr";
        QTest::newRow("50 characters: text layer") << 50 << "pdfkit";
    }

    void recognitionThreshold()
    {
        QFETCH(int, layerLength);
        QFETCH(QString, source);
        const QString layer = QString("abcdefghij").repeated(5).left(layerLength);
        const QString path = m_dir.filePath(QString("schwelle%1.pdf").arg(layerLength));
        writePdf(path, {{{{layer}}, invoicePage()}});

        const ExtractionResult result = m_processor.extract(path);
        QVERIFY(result);
        QCOMPARE(result->metadata, MetadataMap({{"source", source}}));
        // Recognition reads the thin text layer too; the invoice line follows it.
        const QString text = result->extractedText;
        if (source == "pdfkit")
            QCOMPARE(text, layer + "\n");
        else
            QVERIFY2(invoiceRecognised(text.mid(text.indexOf("Rechnung"))), qPrintable(text));
    }

    void unreadableGivesEmptyText()
    {
        writePdf(m_dir.filePath("ganz.pdf"),
                 {{{{"Ein vollständiges Dokument mit ausreichend viel Text in der Ebene"}}}});
        QFile whole(m_dir.filePath("ganz.pdf"));
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
