#include "extraction/documents/htmlprocessor.h"
#include "extraction/documents/htmltext.h"
#include "extractiontestkit.h"

#include <QTemporaryDir>
#include <QTest>

using namespace ExtractionTestKit;

class TestHtmlProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void visibleText_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("expected");
        QTest::newRow("head, style and script hidden")
            << QByteArray("<html><head><title>T</title><style>p{color:red}</style></head><body>"
                          "<script>var x = 1;</script><p>Hallo   Welt</p><p>Zweite\n  Zeile</p></body></html>")
            << "Hallo Welt\nZweite Zeile";
        QTest::newRow("entities decoded")
            << QByteArray("Preis&nbsp;49&euro; &lt;netto&gt; &amp; mehr") << "Preis\u00a049€ <netto> & mehr";
        QTest::newRow("deep nesting cut short") << "<p>vorne</p>" + QByteArray("<div>").repeated(200000) + "hinten"
                                                << "vorne";
    }

    void visibleText()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, expected);
        QCOMPARE(HtmlText::visibleText(html, 1000), expected);
    }

    void title_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QVariant>("expected"); // invalid: no title
        QTest::newRow("plain") << "<html><head><title>Rechnung 42</title></head></html>" << QVariant("Rechnung 42");
        QTest::newRow("upper-case tag") << "<TITLE>Rechnung 42</TITLE>" << QVariant();
        QTest::newRow("split over two lines") << "<title>Rechnung\n42</title>" << QVariant();
        QTest::newRow("shortest match") << "<title>a</title>b</title>" << QVariant("a");
    }

    void title()
    {
        QFETCH(QString, html);
        QFETCH(QVariant, expected);
        const std::optional<QString> found = HtmlText::title(html);
        QCOMPARE(found.has_value(), expected.isValid());
        QCOMPARE(found.value_or(QString()), expected.toString());
    }

    void pageFiles()
    {
        QTemporaryDir dir;
        const HTMLProcessor processor;
        const ExtractionResult page = processor.extract(
            writeFile(dir.filePath("Seite.HTM"), "<html><head><meta charset=\"utf-8\"><title>Rechnung 42</title></head>"
                                                 "<body><h1>Rechnung</h1><p>Betrag: 49,99&nbsp;€</p></body></html>"));
        QVERIFY(page);
        QCOMPARE(page->extractedText, "Rechnung\nBetrag: 49,99\u00a0€");
        QCOMPARE(page->metadata, MetadataMap({{"source", "html"}, {"title", "Rechnung 42"}}));

        const ExtractionResult latin1 =
            processor.extract(writeFile(dir.filePath("latin1.html"), "<html><title>Gr\xfc\xdf"
                                                                     "e</title><body>Gr\xfc\xdf"
                                                                     "e</body></html>"));
        QVERIFY(latin1);
        QCOMPARE(latin1->extractedText, QString());
        QCOMPARE(latin1->metadata, MetadataMap({{"source", "html"}}));
    }
};

QTEST_GUILESS_MAIN(TestHtmlProcessor)
#include "tst_htmlprocessor.moc"
