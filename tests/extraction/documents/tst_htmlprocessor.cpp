#include "common/icuregex.h"
#include "extraction/documents/htmlprocessor.h"
#include "extraction/documents/htmltext.h"

#include <QFile>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// The title as the regular expression defines it; the scanner must agree on every input.
std::optional<QString> titleByRegex(const QString &html)
{
    std::optional<QString> match = IcuRegex::firstMatch("<title>(.+?)</title>", html);
    if (match)
        match->remove("<title>").remove("</title>");
    return match;
}

} // namespace

class TestHtmlProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void visibleText_data();
    void visibleText();
    void deepNestingIsCutShort_data();
    void deepNestingIsCutShort();
    void title_data();
    void title();
    void longUnclosedTitlesStayLinear();
    void pageFile();
    void unreadableAndInvalidFiles();

private:
    QTemporaryDir m_dir;
    const HTMLProcessor m_processor;
};

void TestHtmlProcessor::visibleText_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QString>("expected");

    QTest::newRow("head, style and script hidden")
        << QByteArray("<html><head><title>T</title><style>p{color:red}</style></head><body>"
                      "<script>var x = 1;</script><p>Hallo   Welt</p><p>Zweite\n  Zeile</p></body></html>")
        << "Hallo Welt\nZweite Zeile";
    QTest::newRow("noscript and template hidden")
        << QByteArray("<body>A<noscript>kein JS</noscript><template><p>Vorlage</p></template>B</body>") << "AB";
    QTest::newRow("line breaks") << QByteArray("eins<br>zwei<br><br>drei<br/>") << "eins\nzwei\n\ndrei";
    QTest::newRow("blocks and lists") << QByteArray("<h1>Titel</h1><div>Text</div><ul><li>a</li><li>b</li></ul>")
                                      << "Titel\nText\na\nb";
    QTest::newRow("table cells") << QByteArray("<table><tr><th>Pos</th><th>Preis</th></tr>"
                                               "<tr><td>1</td><td>9,99</td></tr></table>")
                                 << "Pos\tPreis\n1\t9,99";
    QTest::newRow("preformatted keeps spaces") << QByteArray("<p>Code:</p><pre>a  b\n  c</pre>")
                                               << "Code:\na  b\n  c";
    QTest::newRow("entities decoded") << QByteArray("Preis&nbsp;49&euro; &lt;netto&gt; &amp; mehr")
                                      << "Preis\u00a049€ <netto> & mehr";
    QTest::newRow("broken markup") << QByteArray("<p>offen <b>fett <i>kursiv</p>weiter") << "offen fett kursiv\nweiter";
}

void TestHtmlProcessor::visibleText()
{
    QFETCH(QByteArray, html);
    QFETCH(QString, expected);

    QCOMPARE(HtmlText::visibleText(html, 1000), expected);
}

void TestHtmlProcessor::deepNestingIsCutShort_data()
{
    QTest::addColumn<QByteArray>("unit");

    QTest::newRow("div") << QByteArray("<div>");
    QTest::newRow("list") << QByteArray("<ul><li>");
    QTest::newRow("unmatched end tags") << QByteArray("<div></x>");
    QTest::newRow("misnested formatting") << QByteArray("<a><b></a>");
}

void TestHtmlProcessor::deepNestingIsCutShort()
{
    QFETCH(QByteArray, unit);

    const QByteArray html = "<p>vorne</p>" + unit.repeated(200000) + "hinten";
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(HtmlText::visibleText(html, 1000), "vorne");
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString("%1 ms").arg(timer.elapsed())));
}

void TestHtmlProcessor::title_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QVariant>("expected"); // invalid: no title

    QTest::newRow("plain") << "<html><head><title>Rechnung 42</title></head></html>" << QVariant("Rechnung 42");
    QTest::newRow("upper-case tag") << "<TITLE>Rechnung 42</TITLE>" << QVariant();
    QTest::newRow("split over two lines") << "<title>Rechnung\n42</title>" << QVariant();
    QTest::newRow("empty") << "<title></title>" << QVariant();
    QTest::newRow("not trimmed, not decoded") << "<title> A &amp; B </title>" << QVariant(" A &amp; B ");
    QTest::newRow("later line") << "<title>\n</title>\n<p><title>Zweiter</title>" << QVariant("Zweiter");
    QTest::newRow("shortest match") << "<title>a</title>b</title>" << QVariant("a");
    QTest::newRow("inner tags removed") << "<title><title>X</title>" << QVariant("X");
    QTest::newRow("closing tag as content") << "<title></title></title>" << QVariant("");
}

void TestHtmlProcessor::title()
{
    QFETCH(QString, html);
    QFETCH(QVariant, expected);

    const std::optional<QString> found = HtmlText::title(html);
    QCOMPARE(found.has_value(), expected.isValid());
    if (found)
        QCOMPARE(*found, expected.toString());
    QCOMPARE(found, titleByRegex(html));
}

void TestHtmlProcessor::longUnclosedTitlesStayLinear()
{
    const QString html = QString("<title>").repeated(1 << 20) + "\n</title>";
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(HtmlText::title(html), std::nullopt);
    QVERIFY(timer.elapsed() < 2000);
}

void TestHtmlProcessor::pageFile()
{
    const QString path = m_dir.filePath("Seite.HTM");
    writeFile(path, "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Rechnung 42</title></head>"
                    "<body><h1>Rechnung</h1><p>Betrag: 49,99&nbsp;€</p></body></html>");
    QVERIFY(m_processor.canProcess(path));

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result);
    QCOMPARE(result->extractedText, "Rechnung\nBetrag: 49,99\u00a0€");
    QCOMPARE(result->metadata, MetadataMap({{"source", "html"}, {"title", "Rechnung 42"}}));
}

void TestHtmlProcessor::unreadableAndInvalidFiles()
{
    const QString latin1 = m_dir.filePath("latin1.html");
    writeFile(latin1, "<html><head><title>Gr\xfc\xdf""e</title></head><body>Gr\xfc\xdf""e</body></html>");
    const ExtractionResult invalid = m_processor.extract(latin1);
    QVERIFY(invalid);
    QCOMPARE(invalid->extractedText, QString());
    QCOMPARE(invalid->metadata, MetadataMap({{"source", "html"}}));

    const ExtractionResult missing = m_processor.extract(m_dir.filePath("fehlt.html"));
    QVERIFY(missing);
    QCOMPARE(missing->extractedText, QString());
    QVERIFY(missing->metadata.isEmpty());
}

QTEST_GUILESS_MAIN(TestHtmlProcessor)
#include "tst_htmlprocessor.moc"
