#include "common/unicodetext.h"
#include "extraction/documents/officeprocessor.h"
#include "extractiontestkit.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <zip.h>

using namespace ExtractionTestKit;

namespace {

// Members are kept alive in `members` until zip_close reads them.
QString writeZip(const QString &path, const QList<QPair<const char *, QByteArray>> &members)
{
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    for (const auto &[name, bytes] : members)
        zip_file_add(archive, name, zip_source_buffer(archive, bytes.constData(), zip_uint64_t(bytes.size()), 0), 0);
    return archive && zip_close(archive) == 0 ? path : QString();
}

long maxResidentKiB()
{
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
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
        QTest::newRow("xlsx shared strings, no numbers")
            << writeZip(m_dir.filePath("Tabelle.xlsx"),
                        {{"xl/sharedStrings.xml", strings}, {"xl/worksheets/sheet1.xml", sheet}})
            << "Kunde Betrag Grüße  an alle";
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
