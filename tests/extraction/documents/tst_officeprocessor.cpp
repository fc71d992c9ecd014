#include "common/unicodetext.h"
#include "extraction/documents/officeprocessor.h"
#include "extraction/processortable.h"
#include "extractiontestkit.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <sys/resource.h>

using namespace ExtractionTestKit;

namespace {

// The values in little-endian order, each in its own width.
template <typename... T> QByteArray little(T... values)
{
    QByteArray bytes;
    ((bytes += QByteArray(reinterpret_cast<const char *>(&values), sizeof values)), ...);
    return bytes;
}

QByteArray utf16(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

// A compound file (OLE2) with these streams at its top, as the Office 97-2003 formats are stored.
QString writeCompoundFile(const QString &path, const QList<QPair<const char *, QByteArray>> &streams)
{
    gsf_init();
    GsfOutput *file = gsf_output_stdio_new(QFile::encodeName(path).constData(), nullptr);
    GsfOutfile *compound = gsf_outfile_msole_new(file);
    g_object_unref(file);
    bool written = true;
    for (const auto &[name, bytes] : streams) {
        GsfOutput *stream = gsf_outfile_new_child(compound, name, false);
        written = gsf_output_write(stream, bytes.size(), reinterpret_cast<const guint8 *>(bytes.constData())) &&
                  gsf_output_close(stream) && written;
        g_object_unref(stream);
    }
    written = gsf_output_close(GSF_OUTPUT(compound)) && written;
    g_object_unref(compound);
    return written ? path : QString();
}

// Word 97: an 8-bit piece with a field and a UTF-16 piece, the piece table behind a formatting entry in 1Table.
QList<QPair<const char *, QByteArray>> wordStreams()
{
    const QByteArray narrow = "Rechnung \x13 HYPERLINK \"http://x\" \x14Telekom\x15\r49,99 \x80 Gr\xfc\xdf"
                              "e\x01\x07";
    const QByteArray wide = utf16(QString("Ελλάδα\x0bok\r"));
    QByteArray document(0x800, '\0');
    document.replace(0, 4, little(quint16(0xA5EC), quint16(0xC1)));
    document.replace(0x0A, 2, little(quint16(0x0200)));
    const quint32 narrowEnd = narrow.size(), wideEnd = narrowEnd + wide.size() / 2;
    const QByteArray clx = little(quint8(1), quint16(2), quint16(0)) + little(quint8(2), quint32(28)) +
                           little(quint32(0), narrowEnd, wideEnd) +
                           little(quint16(0), quint32(0x600 * 2 | 0x40000000), quint16(0)) +
                           little(quint16(0), quint32(0x700), quint16(0));
    document.replace(0x1A2, 8, little(quint32(16), quint32(clx.size())));
    document.replace(0x600, narrow.size(), narrow).replace(0x700, wide.size(), wide);
    return {{"WordDocument", document}, {"1Table", QByteArray(16, '\0') + clx}};
}

QByteArray biffRecord(quint16 type, const QByteArray &data)
{
    return little(type, quint16(data.size())) + data;
}

// Excel 97: shared strings over a CONTINUE record (wide, then narrow characters) with a rich
// string, cells in two sheets; numbers are left out.
QByteArray workbookStream()
{
    const auto bof = [](quint16 kind) { return biffRecord(0x0809, little(quint16(0x0600), kind) + QByteArray(12, 0)); };
    const QByteArray eof = biffRecord(0x000A, {});
    const auto cell = [](quint16 type, quint16 column, const QByteArray &value) {
        return biffRecord(type, little(quint16(0), column, quint16(15)) + value);
    };
    return bof(0x0005) +
           biffRecord(0x00FC, little(quint32(4), quint32(3)) + little(quint16(5), quint8(0)) + "Kunde" +
                                  little(quint16(6), quint8(0x08), quint16(1)) + "Betrag" + little(quint32(0)) +
                                  little(quint16(13), quint8(1)) + utf16(QString("Grüß"))) +
           biffRecord(0x003C, little(quint8(0)) + "e an alle") + eof + bof(0x0010) +
           cell(0x00FD, 0, little(quint32(1))) + cell(0x0203, 1, little(4711.5)) + cell(0x00FD, 2, little(quint32(0))) +
           cell(0x0204, 3, little(quint16(9), quint8(0)) + "Lieferant") + eof + bof(0x0010) +
           cell(0x00FD, 0, little(quint32(2))) + cell(0x00FD, 1, little(quint32(99))) + eof;
}

QByteArray pptRecord(quint16 version, quint16 type, const QByteArray &body)
{
    return little(version, type, quint32(body.size())) + body;
}

// PowerPoint 97: slide titles in the slide list, masters' sample texts, a text box in a slide's
// drawing and its notes.
QByteArray powerPointStream()
{
    const QByteArray slideList = pptRecord(0x0F, 0x0FF0,
                                           pptRecord(0, 0x0F9F, little(quint32(0))) +
                                               pptRecord(0, 0x0FA0, utf16(QString("Quartalsbericht 2024"))) +
                                               pptRecord(0, 0x0FA8, "Umsatz\rGewinn"));
    const auto notes = [](quint32 slide, const QByteArray &text) {
        return pptRecord(0x0F, 0x03F0, pptRecord(1, 0x03F1, little(slide, quint32(0))) + pptRecord(0, 0x0FA8, text));
    };
    const QByteArray master = pptRecord(0x0F, 0x03F8, pptRecord(0, 0x0FA0, utf16(QString("Mastertitelformat")))) +
                              notes(0, "Mastertextformat");
    const QByteArray slide =
        pptRecord(0x0F, 0x03EE,
                  pptRecord(0x0F, 0xF002,
                            pptRecord(0, 0x0FA8, "F\xfcr den Vorstand") + pptRecord(0, 0x0FA8, "*") +
                                pptRecord(0, 0x0FA0, utf16(QString("*"))))) +
        notes(256, "Notiz");
    // The last atom claims more than the stream holds: its bytes up to the end still count.
    return pptRecord(0x0F, 0x03E8, slideList) + master + slide + little(quint16(0), quint16(0x0FA8), quint32(999)) +
           "Ende";
}

// PowerPoint 97 through its persist directory: slide 1 as PowerPoint writes it (title and body
// in the slide list, a text box in the drawing), its drawing saved again by a later edit; slide 2
// as LibreOffice writes it (all in the drawing, the title last); the notes listed the other way
// round; the first edit names itself as the one before it.
QList<QPair<const char *, QByteArray>> pagedPowerPoint(quint32 currentEditShift)
{
    const auto text = [](quint32 kind, const QByteArray &chars) {
        return pptRecord(0, 0x0F9F, little(kind)) + pptRecord(0, 0x0FA8, chars);
    };
    const auto listed = [](quint32 id, quint32 slide) {
        return pptRecord(0, 0x03F3, little(id, quint32(0), quint32(0), slide, quint32(0)));
    };
    const auto slide = [](const QByteArray &texts) { return pptRecord(0x0F, 0x03EE, pptRecord(0x0F, 0xF00D, texts)); };
    const auto notes = [&](quint32 slide, const QByteArray &chars) {
        return pptRecord(0x0F, 0x03F0, pptRecord(1, 0x03F1, little(slide, quint32(0))) + text(2, chars));
    };
    const QByteArray lists =
        pptRecord(0x0F, 0x0FF0, listed(2, 256) + text(0, "Titel1") + text(1, "Inhalt1") + listed(3, 257)) +
        pptRecord(0x2F, 0x0FF0, listed(5, 258) + listed(4, 259));
    QByteArray stream, directory = little(quint32(1 | 5 << 20));
    for (const QByteArray &object : {pptRecord(0x0F, 0x03E8, lists), slide(text(4, "Alt1")),
                                     slide(text(4, "Kasten2") + text(1, "Inhalt2") + text(0, "Titel2")),
                                     notes(256, "Notiz1"), notes(257, "Notiz2")}) {
        directory += little(quint32(stream.size()));
        stream += object;
    }
    const auto edit = [&](std::optional<quint32> last, const QByteArray &persistDirectory) {
        const quint32 directoryAt = stream.size();
        stream += pptRecord(0, 0x1772, persistDirectory);
        const quint32 at = stream.size();
        stream += pptRecord(0, 0x0FF5, little(quint64(0), last.value_or(at), directoryAt, quint32(1), quint64(6)));
        return at;
    };
    const quint32 first = edit(std::nullopt, directory), newer = stream.size();
    stream += slide(text(4, "Kasten1"));
    const quint32 current = edit(first, little(quint32(2 | 1 << 20), newer));
    return {
        {"PowerPoint Document", stream},
        {"Current User", pptRecord(0, 0x0FF6, little(quint32(20), quint32(0xE391C05F), current + currentEditShift))}};
}

} // namespace

class TestOfficeProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void packages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        const auto zipped = [this](const char *name, const QString &file,
                                   const QList<QPair<const char *, QByteArray>> &members, const QString &expected) {
            QTest::newRow(name) << writeZip(m_dir.filePath(file), members) << expected;
        };
        const auto compound = [this](const char *name, const QString &file,
                                     const QList<QPair<const char *, QByteArray>> &streams, const QString &expected) {
            QTest::newRow(name) << writeCompoundFile(m_dir.filePath(file), streams) << expected;
        };
        const auto plain = [this](const char *name, const QString &file, const QByteArray &bytes,
                                  const QString &expected) {
            QTest::newRow(name) << writeFile(m_dir.filePath(file), bytes) << expected;
        };

        const QByteArray strings = R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
                                   R"(<si><t>Kunde</t></si><si><t>Betrag</t></si>)"
                                   R"(<si><r><t>Grüße</t></r><r><t xml:space="preserve"> an alle</t></r></si></sst>)";
        const QByteArray sheet = R"(<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s">)"
                                 R"(<v>1</v></c></row><row r="2"><c r="A2" t="s"><v>2</v></c><c r="B2"><v>4711.5</v>)"
                                 R"(</c></row></sheetData></worksheet>)";
        const auto wordPart = [](const char *root, const QByteArray &paragraphs) {
            return "<w:" + QByteArray(root) +
                   R"( xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)" + paragraphs +
                   "</w:" + root + ">";
        };
        const QByteArray header = wordPart("hdr", "<w:p><w:r><w:t>Muster GmbH</w:t></w:r></w:p>");
        zipped(
            "docx word split over runs, tab; the letterhead above the body", "runs.docx",
            {{"word/header1.xml", header},
             {"word/document.xml",
              wordPart("document", R"(<w:body><w:p><w:pPr><w:tabs><w:tab w:pos="720"/></w:tabs></w:pPr>)"
                                   R"(<w:r><w:t>A</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>ugue</w:t></w:r>)"
                                   R"(<w:r><w:tab/><w:t>Ende</w:t></w:r></w:p><w:p><w:r><w:t>S</w:t></w:r>)"
                                   R"(<w:proofErr w:type="spellStart"/><w:r><w:t>apien</w:t></w:r></w:p></w:body>)")}},
            "Muster GmbH\nAugue Ende\nSapien");
        zipped("docx empty body: headers, then footers", "Briefkopf.docx",
               {{"word/document.xml", wordPart("document", "<w:body><w:p/><w:sectPr/></w:body>")},
                {"word/footer1.xml", wordPart("ftr", "<w:p><w:r><w:t>IBAN DE02</w:t></w:r></w:p>")},
                {"word/header10.xml", wordPart("hdr", "<w:p><w:r><w:t>Seite 1</w:t></w:r></w:p>")},
                {"word/header1.xml", header}},
               "Muster GmbH\nSeite 1\nIBAN DE02");
        zipped("docx header, body, footer; a repeated header once", "Rechnung.docx",
               {{"word/header1.xml", header},
                {"word/header2.xml", header},
                {"word/document.xml", wordPart("document", "<w:body><w:p><w:r><w:t>Rechnung 4711</w:t></w:r>"
                                                           "</w:p><w:p><w:r><w:t>Betrag 49,99 EUR</w:t>"
                                                           "</w:r></w:p></w:body>")},
                {"word/footer2.xml", wordPart("ftr", "<w:p><w:r><w:t>Amtsgericht Leipzig</w:t></w:r></w:p>")},
                {"word/footer1.xml", wordPart("ftr", "<w:p><w:r><w:t>IBAN DE02</w:t></w:r></w:p>")}},
               "Muster GmbH\nRechnung 4711\nBetrag 49,99 EUR\nIBAN DE02\nAmtsgericht Leipzig");
        zipped("xlsx shared strings, no numbers", "Tabelle.xlsx",
               {{"xl/sharedStrings.xml", strings}, {"xl/worksheets/sheet1.xml", sheet}}, "Kunde Betrag Grüße an alle");
        zipped(
            "xlsx inline strings after shared strings, sheets in order", "inline.xlsx",
            {{"xl/worksheets/sheet10.xml",
              R"(<worksheet><sheetData><row><c t="inlineStr"><is><t>Blatt 10</t></is></c></row></sheetData></worksheet>)"},
             {"xl/worksheets/sheet2.xml",
              R"(<worksheet><sheetData><row><c t="inlineStr"><is><r><t>Liefer</t></r><r><rPr><b/></rPr>)"
              R"(<t>ant</t></r></is></c><c><v>12</v></c></row></sheetData></worksheet>)"},
             {"xl/sharedStrings.xml", "<sst><si><t>Kunde</t></si></sst>"}},
            "Kunde Lieferant Blatt 10");
        const auto shapes = [](const QByteArray &tree) {
            return R"(<p:sld xmlns:a="a" xmlns:p="p"><p:cSld><p:spTree>)" + tree + "</p:spTree></p:cSld></p:sld>";
        };
        const auto slide = [&](const QByteArray &paragraphs) {
            return shapes("<p:sp><p:txBody>" + paragraphs + "</p:txBody></p:sp>");
        };
        const QByteArray rels =
            R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
        zipped(
            "pptx slides in listed order, each with its notes", "Folien.pptx",
            {{"ppt/presentation.xml",
              R"(<p:presentation xmlns:p="p" xmlns:r="r"><p:sldIdLst><p:sldId id="256" r:id="rId7"/>)"
              R"(<p:sldId id="257" r:id="rId2"/><p:sldId id="258" r:id="rId2"/></p:sldIdLst></p:presentation>)"},
             {"ppt/_rels/presentation.xml.rels", rels + R"(<Relationship Id="rId2" Target="slides/slide1.xml"/>)"
                                                        R"(<Relationship Id="rId7" Target="/ppt/slides/slide2.xml"/>)"
                                                        "</Relationships>"},
             {"ppt/slides/slide1.xml", slide("<a:p><a:r><a:t>Schluss</a:t></a:r></a:p>")},
             {"ppt/slides/slide2.xml", slide("<a:p><a:r><a:t>Agen</a:t></a:r><a:r><a:t>da</a:t></a:r>"
                                             "</a:p><a:p><a:r><a:t>Punkt</a:t></a:r><a:br/><a:r>"
                                             "<a:t>eins</a:t></a:r></a:p>")},
             {"ppt/slides/_rels/slide2.xml.rels",
              rels + R"(<Relationship Id="rId1" Type="http://x/notesSlide" Target="../notesSlides/n.xml"/>)"
                     "</Relationships>"},
             {"ppt/notesSlides/n.xml", slide("<a:p><a:r><a:t>Notiz</a:t></a:r></a:p>")}},
            "Agenda Punkt eins Notiz Schluss");
        const auto shape = [](const char *placeholder, const char *text) {
            return "<p:sp><p:nvSpPr><p:nvPr>" + QByteArray(placeholder) +
                   "</p:nvPr></p:nvSpPr><p:txBody><a:p><a:r><a:t>" + text + "</a:t></a:r></a:p></p:txBody></p:sp>";
        };
        zipped("pptx without a slide list: title placeholder first, then shapes in order", "Titel.pptx",
               {{"ppt/slides/slide1.xml", shapes(shape("", "Kasten") + shape(R"(<p:ph type="title"/>)", "Titel") +
                                                 shape(R"(<p:ph type="body"/>)", "Inhalt"))},
                {"ppt/slides/slide2.xml", shapes(shape("", "Unter") + shape(R"(<p:ph type="ctrTitle"/>)", "Start"))}},
               "Titel Kasten Inhalt Start Unter");
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
        zipped("ott, upper case", "Vorlage.OTT", openDocument(textType, text), textExpected);
        zipped("ods cells, numbers as shown", "Tabelle.ods",
               openDocument("application/vnd.oasis.opendocument.spreadsheet",
                            R"(<office:spreadsheet><table:table table:name="Blatt1"><table:table-row>)"
                            R"(<table:table-cell office:value-type="string"><text:p>Kunde</text:p></table:table-cell>)"
                            R"(<table:table-cell office:value-type="float" office:value="4711.5"><text:p>4711,5)"
                            R"(</text:p></table:table-cell></table:table-row></table:table></office:spreadsheet>)"),
               "Kunde 4711,5");
        zipped("odp", "Folien.odp",
               openDocument("application/vnd.oasis.opendocument.presentation",
                            R"(<office:presentation><draw:page draw:name="Folie 1"><draw:frame><draw:text-box>)"
                            R"(<text:p>Quartals</text:p><text:p>bericht</text:p></draw:text-box></draw:frame>)"
                            R"(</draw:page></office:presentation>)"),
               "Quartals bericht");
        compound("doc: pieces, field result, code page", "Rechnung.doc", wordStreams(),
                 "Rechnung Telekom 49,99 € Grüße Ελλάδα ok");
        plain("doc that is RTF", "Brief.DOC", "{\\rtf1\\ansi Hallo}", "Hallo");
        const QByteArray workbook = workbookStream();
        compound("xls shared and inline cell text in sheet order", "Tabelle.xls", {{"Workbook", workbook}},
                 "Betrag Kunde Lieferant Grüße an alle");
        compound("xls cut off in a shared string", "kaputt.xls",
                 {{"Workbook", workbook.left(workbook.indexOf("e an alle") + 4)}}, "");
        compound("ppt text atoms, masters and field marks left out", "Folien.ppt",
                 {{"PowerPoint Document", powerPointStream()}},
                 "Quartalsbericht 2024 Umsatz Gewinn Für den Vorstand Notiz Ende");
        compound("ppt slide by slide: titles, bodies, text boxes, notes; newest edit", "Bericht.ppt",
                 pagedPowerPoint(0), "Titel1 Inhalt1 Kasten1 Notiz1 Titel2 Inhalt2 Kasten2 Notiz2");
        compound("ppt whose current edit is missing: record order", "Bericht.pps", pagedPowerPoint(1),
                 "Titel1 Inhalt1 Alt1 Kasten2 Inhalt2 Titel2 Notiz1 Notiz2 Kasten1");
        plain("dot that is a Graphviz graph", "Abhängigkeiten.dot", "digraph pip {\n  requests -> urllib3;\n}\n",
              "digraph pip {\n  requests -> urllib3;\n}\n");
        plain("doc that is plain text in Latin-1", "Kündigung.doc",
              "Sehr geehrte Damen und Herren,\r\nhiermit k\xfcndige ich fristgem\xe4\xdf zum 31.03.2024.\r\n",
              "Sehr geehrte Damen und Herren,\r\nhiermit kündige ich fristgemäß zum 31.03.2024.\r\n");
        plain("doc that is neither: binary bytes", "kaputt.doc", QByteArray("\x01\x02\xfc\x00\x1b Text\x03", 10), "");
        plain("xls that is a web page's table", "Umsätze.xls",
              "\xEF\xBB\xBF <HTML><head><title>Umsätze</title></head><body><table><tr><td>Datum</td>"
              "<td>Betrag</td></tr><tr><td>01.12.2026</td><td>49,99 &euro;</td></tr></table></body></HTML>",
              "Datum\tBetrag\n01.12.2026\t49,99 €");
        plain("xls that is an XML spreadsheet", "Konto.xls",
              R"(<?xml version="1.0"?><Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet" )"
              R"(xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet"><Worksheet ss:Name="Umsätze">)"
              R"(<Table><Row><Cell><Data ss:Type="String">Miete</Data></Cell><Cell><Data )"
              R"(ss:Type="Number">850</Data></Cell></Row></Table></Worksheet></Workbook>)",
              "Miete 850");
        plain("not a zip", "text.docx", "Dies ist kein ZIP-Archiv.\n", "");
    }

    void packages()
    {
        QFETCH(QString, path);
        const ExtractionResult result = ProcessorTable::processorFor(path).extract(path);
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
