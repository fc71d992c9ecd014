#include "common/unicodetext.h"
#include "extraction/documents/officeprocessor.h"
#include "extractiontestkit.h"

#include <sys/resource.h>

using namespace ExtractionTestKit;

class TestOfficeProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void packages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");

        const QByteArray word = R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)"
                                R"(<w:body><w:p><w:pPr><w:jc w:val="left"/></w:pPr><w:r><w:t>Hallo</w:t></w:r></w:p>)"
                                R"(<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Welt</w:t></w:r></w:p></w:body></w:document>)";
        const QByteArray strings = R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
                                   R"(<si><t>Kunde</t></si><si><t>Betrag</t></si>)"
                                   R"(<si><r><t>Grüße</t></r><r><t xml:space="preserve"> an alle</t></r></si></sst>)";
        const QByteArray sheet = R"(<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s">)"
                                 R"(<v>1</v></c></row><row r="2"><c r="A2" t="s"><v>2</v></c><c r="B2"><v>4711.5</v>)"
                                 R"(</c></row></sheetData></worksheet>)";
        QTest::newRow("docx paragraphs") << writeZip(m_dir.filePath("Brief.DOCX"), {{"word/document.xml", word}})
                                         << "Hallo Welt";
        const auto wordPart = [](const char *root, const QByteArray &paragraphs) {
            return "<w:" + QByteArray(root) +
                   R"( xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)" + paragraphs +
                   "</w:" + root + ">";
        };
        const QByteArray header = wordPart("hdr", "<w:p><w:r><w:t>Muster GmbH</w:t></w:r></w:p>");
        QTest::newRow("docx word split over runs, tab, body before header")
            << writeZip(m_dir.filePath("runs.docx"),
                        {{"word/header1.xml", header},
                         {"word/document.xml",
                          wordPart("document",
                                   R"(<w:body><w:p><w:pPr><w:tabs><w:tab w:pos="720"/></w:tabs></w:pPr>)"
                                   R"(<w:r><w:t>A</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>ugue</w:t></w:r>)"
                                   R"(<w:r><w:tab/><w:t>Ende</w:t></w:r></w:p><w:p><w:r><w:t>S</w:t></w:r>)"
                                   R"(<w:proofErr w:type="spellStart"/><w:r><w:t>apien</w:t></w:r></w:p></w:body>)")}})
            << "Augue Ende Sapien";
        QTest::newRow("docx empty body: headers, then footers")
            << writeZip(m_dir.filePath("Briefkopf.docx"),
                        {{"word/document.xml", wordPart("document", "<w:body><w:p/><w:sectPr/></w:body>")},
                         {"word/footer1.xml", wordPart("ftr", "<w:p><w:r><w:t>IBAN DE02</w:t></w:r></w:p>")},
                         {"word/header10.xml", wordPart("hdr", "<w:p><w:r><w:t>Seite 1</w:t></w:r></w:p>")},
                         {"word/header1.xml", header}})
            << "Muster GmbH Seite 1 IBAN DE02";
        QTest::newRow("xlsx shared strings, no numbers")
            << writeZip(m_dir.filePath("Tabelle.xlsx"),
                        {{"xl/sharedStrings.xml", strings}, {"xl/worksheets/sheet1.xml", sheet}})
            << "Kunde Betrag Grüße an alle";
        QTest::newRow("xlsx inline strings after shared strings, sheets in order")
            << writeZip(
                   m_dir.filePath("inline.xlsx"),
                   {{"xl/worksheets/sheet10.xml",
                     R"(<worksheet><sheetData><row><c t="inlineStr"><is><t>Blatt 10</t></is></c></row></sheetData></worksheet>)"},
                    {"xl/worksheets/sheet2.xml",
                     R"(<worksheet><sheetData><row><c t="inlineStr"><is><r><t>Liefer</t></r><r><rPr><b/></rPr>)"
                     R"(<t>ant</t></r></is></c><c><v>12</v></c></row></sheetData></worksheet>)"},
                    {"xl/sharedStrings.xml", "<sst><si><t>Kunde</t></si></sst>"}})
            << "Kunde Lieferant Blatt 10";
        const QByteArray namespaces = R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
                                      R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
                                      R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
                                      R"( xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")";
        const auto openDocument = [&](const char *mimeType, const QByteArray &body) {
            return QList<QPair<const char *, QByteArray>>{
                {"mimetype", mimeType},
                {"content.xml", "<office:document-content" + namespaces + "><office:automatic-styles/><office:body>" +
                                    body + "</office:body></office:document-content>"}};
        };
        const QByteArray text = "<office:text><text:h>Rechnung</text:h><text:p>Betrag:<text:s/>49,99<text:tab/>EUR"
                                "</text:p><text:p>Gr<text:span>üße</text:span><text:note><text:note-citation>1"
                                "</text:note-citation><text:note-body><text:p>Quelle</text:p></text:note-body>"
                                "</text:note> weiter</text:p></office:text>";
        const char *textType = "application/vnd.oasis.opendocument.text";
        const QString textExpected = "Rechnung Betrag: 49,99 EUR Grüße 1 Quelle weiter";
        QTest::newRow("odt") << writeZip(m_dir.filePath("Rechnung.odt"), openDocument(textType, text)) << textExpected;
        QTest::newRow("ott") << writeZip(m_dir.filePath("Vorlage.OTT"), openDocument(textType, text)) << textExpected;
        QTest::newRow("ods cells, numbers as shown")
            << writeZip(m_dir.filePath("Tabelle.ods"),
                        openDocument(
                            "application/vnd.oasis.opendocument.spreadsheet",
                            R"(<office:spreadsheet><table:table table:name="Blatt1"><table:table-row>)"
                            R"(<table:table-cell office:value-type="string"><text:p>Kunde</text:p></table:table-cell>)"
                            R"(<table:table-cell office:value-type="float" office:value="4711.5"><text:p>4711,5)"
                            R"(</text:p></table:table-cell></table:table-row></table:table></office:spreadsheet>)"))
            << "Kunde 4711,5";
        QTest::newRow("odp")
            << writeZip(
                   m_dir.filePath("Folien.odp"),
                   openDocument("application/vnd.oasis.opendocument.presentation",
                                R"(<office:presentation><draw:page draw:name="Folie 1"><draw:frame><draw:text-box>)"
                                R"(<text:p>Quartals</text:p><text:p>bericht</text:p></draw:text-box></draw:frame>)"
                                R"(</draw:page></office:presentation>)"))
            << "Quartals bericht";
        QTest::newRow("not a zip") << writeFile(m_dir.filePath("text.docx"), "Dies ist kein ZIP-Archiv.\n") << "";
    }

    void packages()
    {
        QFETCH(QString, path);
        const ExtractionResult result = m_processor.extract(path);
        QVERIFY(result);
        QTEST(result->extractedText, "expected");
        QCOMPARE(result->metadata, MetadataMap({{"source", QFileInfo(path).suffix().toLower()}}));
    }

    void compressionBombIsNotInflatedWhole()
    {
        // About 1 GiB of shared strings that deflates to a few MiB; every fragment is the same buffer.
        QByteArray head = "<sst>";
        QByteArray entries = QByteArray("<si><t>Bombe</t></si>").repeated(1 << 16);
        QList<zip_buffer_fragment_t> fragments(
            800, {reinterpret_cast<zip_uint8_t *>(entries.data()), zip_uint64_t(entries.size())});
        fragments.prepend({reinterpret_cast<zip_uint8_t *>(head.data()), zip_uint64_t(head.size())});
        const QString path = m_dir.filePath("bombe.xlsx");
        zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
        zip_source_t *bomb = zip_source_buffer_fragment(archive, fragments.constData(), fragments.size(), 0);
        QVERIFY(zip_file_add(archive, "xl/sharedStrings.xml", bomb, 0) == 0);
        QCOMPARE(zip_close(archive), 0);
        QVERIFY(QFileInfo(path).size() < 16 * 1024 * 1024);

        const auto maxResidentKiB = [] {
            struct rusage usage = {};
            getrusage(RUSAGE_SELF, &usage);
            return usage.ru_maxrss;
        };
        const long residentBefore = maxResidentKiB();
        const ExtractionResult result = m_processor.extract(path);
        QVERIFY(result);
        QVERIFY2(maxResidentKiB() - residentBefore < 512 * 1024, "more than 512 MiB were held");
        QCOMPARE(UnicodeText::graphemeCount(result->extractedText), TextLimits::Document);
        QVERIFY(result->extractedText.startsWith("Bombe Bombe Bombe"));
    }

private:
    QTemporaryDir m_dir;
    const OfficeProcessor m_processor;
};

QTEST_GUILESS_MAIN(TestOfficeProcessor)
#include "tst_officeprocessor.moc"
