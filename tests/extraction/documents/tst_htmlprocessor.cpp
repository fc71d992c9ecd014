#include "extraction/documents/htmlprocessor.h"
#include "extraction/documents/htmltext.h"
#include "extractiontestkit.h"

using namespace ExtractionTestKit;

class TestHtmlProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A page's visible text (at most 1000 characters) and its title; "-": none.
    void pageParts_data()
    {
        QTest::addColumn<bool>("title");
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("expected");
        const auto text = [](const char *name, const QByteArray &html, const QString &expected) {
            QTest::newRow(name) << false << html << expected;
        };
        const auto title = [](const char *name, const QByteArray &html, const QString &expected) {
            QTest::newRow(name) << true << html << expected;
        };
        text("text: head, style and script hidden",
             QByteArray("<html><head><title>T</title><style>p{color:red}</style></head><body>"
                        "<script>var x = 1;</script><p>Hallo   Welt</p><p>Zweite\n  Zeile</p></body></html>"),
             "Hallo Welt\nZweite Zeile");
        text("text: entities decoded", QByteArray("Preis&nbsp;49&euro; &lt;netto&gt; &amp; mehr"),
             "Preis\u00a049€ <netto> & mehr");
        text("text: icon-font glyphs left out",
             QByteArray("<h2>Installation<a class=\"headerlink\" href=\"#i\">&#xf0c1;</a></h2><p>Schritt\xef\x83\x81"
                        "eins \xf3\xb0\x80\x80 zwei</p>"),
             "Installation\nSchritt eins zwei");
        text("text: deep nesting cut short", "<p>vorne</p>" + QByteArray("<div>").repeated(200000) + "hinten", "vorne");
        text("text: page navigation, header and footer after the content",
             QByteArray("<body><header>Logo</header><nav>Start</nav><main><article><header><h1>Rechnung 42</h1>"
                        "</header><p>Betrag</p><footer>Seite 1</footer></article></main><aside>Werbung</aside>"
                        "<footer>Impressum</footer></body>"),
             "Rechnung 42\nBetrag\nSeite 1\nLogo\nStart\nWerbung\nImpressum");
        text("text: landmark roles after the content",
             QByteArray("<div role=\"Navigation main\">Start</div><div role=\"banner\">Logo</div>"
                        "<div role=\"search\">Suche</div><div role=\"main\"><p>Rechnung 42</p>"
                        "<div role=\"note\">Betrag</div><section><div role=\"complementary\">Werbung</div>"
                        "</section></div><div role=\"contentinfo\">Impressum</div><p role=\"heading\">Ende</p>"),
             "Rechnung 42\nBetrag\nEnde\nStart\nLogo\nSuche\nWerbung\nImpressum");
        // Blocks that are mostly links are menus: all of them, or 40 % when named so (Texinfo's header);
        // a form's choices are no text.
        text("text: link menus after the content",
             QByteArray("<body><div class=\"navheader\"><table><tr><th>Teil III. Verwaltung</th></tr><tr><td>"
                        "<a href=\"p.html\">Zurück</a></td><td><a href=\"u.html\">Hoch</a></td><th>Handbuch "
                        "zur Software 15</th><td><a href=\"n.html\">Weiter</a></td></tr></table></div>"
                        "<div class=\"tagline\">Klein. Schnell.</div><div><ul><li><a href=\"/\">Start</a>"
                        "<li><a href=\"/docs\">Dokumentation</a><li><a href=\"/dl\">Download</a></ul></div>"
                        "<div class=\"header\"><p>Weiter: <a href=\"b.html\">Einleitung</a>, Zurück: "
                        "<a href=\"a.html\">Inhalt</a></p></div><h1>Rechnung 42</h1>"
                        "<p>Betrag 49,99 EUR, siehe <a href=\"agb.html\">AGB</a> und <a href=\"w.html\">"
                        "Widerruf</a>.</p><form><select><option>Suche in Rechnungen</option></select></form></body>"),
             "Klein. Schnell.\nRechnung 42\nBetrag 49,99 EUR, siehe AGB und Widerruf.\nTeil III. Verwaltung\n"
             "Zurück\tHoch\tHandbuch zur Software 15\tWeiter\nStart\nDokumentation\nDownload\n"
             "Weiter: Einleitung, Zurück: Inhalt");
        text("text: main content first",
             QByteArray("<body><div><a href=\"/\">Start</a> Willkommen</div><article><p>Nicht dies</p>"
                        "</article><main><header>Rechnung 42</header><p>Betrag</p></main><p>Kontakt</p></body>"),
             "Rechnung 42\nBetrag\nStart Willkommen\nNicht dies\nKontakt");
        title("title: upper-case tag", QByteArray("<TITLE>Rechnung 42</TITLE>"), "Rechnung 42");
        title("title: split over two lines", QByteArray("<title>Rechnung\n42</title>"), "Rechnung 42");
        title("title: attributes, entities, spaces",
              QByteArray("<title lang=\"de\">  Meier &amp; Co &mdash; Nr&#46; 4&#x32;\t</title>"),
              "Meier & Co — Nr. 42");
    }

    void pageParts()
    {
        QFETCH(bool, title);
        QFETCH(QByteArray, html);
        const std::optional<HTMLText::Page> page = HTMLText::read(html, 1000);
        QVERIFY(page);
        QTEST(title ? page->title.value_or("-") : page->text, "expected");
    }

    void pageFiles_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");                 // empty: none
        const QString greeting = QStringLiteral("Grüße €"); // ISO-8859-1 is read as Windows-1252
        const auto row = [](const char *name, const QString &fileName, const QByteArray &bytes, const QString &text,
                            const QString &title) { QTest::newRow(name) << fileName << bytes << text << title; };
        const auto greets = [&](const char *name, const QString &fileName, const QByteArray &bytes) {
            row(name, fileName, bytes, greeting, greeting);
        };
        row("UTF-8", "Seite.HTM",
            QByteArray("<html><head><meta charset=\"utf-8\"><title>Rechnung 42</title></head>"
                       "<body><h1>Rechnung</h1><p>Betrag: 49,99&nbsp;€</p></body></html>"),
            "Rechnung\nBetrag: 49,99\u00a0€", QString("Rechnung 42"));
        const QByteArray latin1Body = "<title>Gr\xfc\xdf"
                                      "e \x80</title></head><body>Gr\xfc\xdf"
                                      "e \x80</body></html>";
        greets("ISO-8859-1 by meta charset", "a.html", "<html><head><meta charset=\"ISO-8859-1\">" + latin1Body);
        greets(
            "Windows-1252 by http-equiv after a long comment", "b.htm",
            "<!-- " + QByteArray(2000, '-') +
                " -->\n<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\"\nCONTENT=\"text/html; charset=windows-1252\" />" +
                latin1Body);
        greets("ISO-8859-15 by XML declaration", "c.xhtml",
               QByteArray("<?xml version=\"1.0\" encoding='ISO-8859-15'?><html><head><title>Gr\xfc\xdf"
                          "e \xa4</title></head><body>Gr\xfc\xdf"
                          "e \xa4</body></html>"));
        const QString page = QStringLiteral(
            "<html><head><meta charset=\"windows-1252\"><title>Grüße €</title></head><body>Grüße €</body></html>");
        QStringEncoder toLE(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        QStringEncoder toBE(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom);
        greets("UTF-16LE by BOM, despite the declaration", "d.html", QByteArray(toLE(page)));
        greets("UTF-16BE by BOM", "e.html", QByteArray(toBE(page)));
        greets("undeclared Latin-1 read as Windows-1252", "f.html", "<html><head>" + latin1Body);
        row("undeclared ASCII with one stray byte", "g.html", QByteArray("<title>Caf\xe9</title>Caf\xe9 au lait"),
            "Café au lait", "Café");
        greets("undeclared UTF-8 stays UTF-8", "h.html", QStringLiteral("<title>Grüße €</title>Grüße €").toUtf8());
        row("declared UTF-8 with a stray byte", "i.html",
            QByteArray("<meta charset=utf-8><title>Caf\xe9</title>Gr\xc3\xbc\xc3\x9f\xe9"), "Grü\u00df\ufffd",
            "Caf\ufffd");
        greets("declaration in a comment ignored", "j.html",
               "<html><head><!-- <meta charset=\"koi8-r\"> -->" + latin1Body);
    }

    void pageFiles()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QTemporaryDir dir;
        const ExtractionResult result = HTMLProcessor().extract(writeFile(dir.filePath(fileName), bytes));
        QVERIFY(result);
        QCOMPARE(result->extractedText, text);
        QCOMPARE(result->metadata, title.isEmpty() ? MetadataMap({{"source", "html"}})
                                                   : MetadataMap({{"source", "html"}, {"title", title}}));
    }
};

QTEST_GUILESS_MAIN(TestHtmlProcessor)
#include "tst_htmlprocessor.moc"
