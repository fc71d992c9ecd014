#include "common/unicodetext.h"
#include "extraction/documents/officeprocessor.h"
#include "extraction/documents/xmltextcollector.h"
#include "extraction/documents/zipentry.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <zip.h>

#include <cstring>

namespace {

// Members are kept alive in `contents` until zip_close reads them.
void writeZip(const QString &path, const QList<QPair<QString, QByteArray>> &contents)
{
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(archive);
    for (const auto &[name, bytes] : contents) {
        zip_source_t *source = zip_source_buffer(archive, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        QVERIFY(zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) >= 0);
    }
    QCOMPARE(zip_close(archive), 0);
}

// A shared-strings member that inflates to `size` bytes of repeated entries, produced on the fly.
struct BombSource {
    static constexpr std::string_view Head = "<sst>";
    static constexpr std::string_view Entry = "<si><t>Bombe</t></si>";
    zip_uint64_t size;
    zip_uint64_t offset = 0;

    static zip_int64_t callback(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command)
    {
        auto *self = static_cast<BombSource *>(state);
        switch (command) {
        case ZIP_SOURCE_OPEN:
            self->offset = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const zip_uint64_t n = std::min(length, self->size - self->offset);
            auto *out = static_cast<char *>(data);
            for (zip_uint64_t i = 0; i < n;) {
                const zip_uint64_t at = self->offset + i;
                const std::string_view piece = at < Head.size() ? Head.substr(at)
                                                                : Entry.substr((at - Head.size()) % Entry.size());
                const zip_uint64_t count = std::min<zip_uint64_t>(piece.size(), n - i);
                std::memcpy(out + i, piece.data(), count);
                i += count;
            }
            self->offset += n;
            return zip_int64_t(n);
        }
        case ZIP_SOURCE_STAT: {
            auto *stat = static_cast<zip_stat_t *>(data);
            zip_stat_init(stat);
            stat->size = self->size;
            stat->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return 2 * sizeof(int);
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                  ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            return 0;
        }
    }
};

long maxResidentKiB()
{
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

const QByteArray WordDocument =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)"
    R"(<w:p><w:pPr><w:jc w:val="left"/></w:pPr><w:r><w:t>Hallo</w:t></w:r></w:p>)"
    R"(<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Welt</w:t></w:r></w:p></w:body></w:document>)";

} // namespace

class TestOfficeProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void wordRunsJoinedBySpaces();
    void spreadsheetSharedStringsOnly();
    void damagedPackages_data();
    void damagedPackages();
    void compressionBombIsNotInflatedWhole();
    void collectsOneQualifiedName_data();
    void collectsOneQualifiedName();

private:
    QTemporaryDir m_dir;
    const OfficeProcessor m_processor;
};

void TestOfficeProcessor::wordRunsJoinedBySpaces()
{
    const QString path = m_dir.filePath("Brief.DOCX");
    writeZip(path, {{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", WordDocument}});

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result);
    QCOMPARE(result->extractedText, "Hallo Welt");
    QCOMPARE(result->metadata, MetadataMap({{"source", "docx"}}));
}

void TestOfficeProcessor::spreadsheetSharedStringsOnly()
{
    const QString path = m_dir.filePath("Tabelle.xlsx");
    writeZip(path, {{"xl/sharedStrings.xml",
                     R"(<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
                     R"(<si><t>Kunde</t></si><si><t>Betrag</t></si>)"
                     R"(<si><r><t>Grüße</t></r><r><t xml:space="preserve"> an alle</t></r></si></sst>)"},
                    {"xl/worksheets/sheet1.xml",
                     R"(<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c>)"
                     R"(</row><row r="2"><c r="A2" t="s"><v>2</v></c><c r="B2"><v>4711.5</v></c></row>)"
                     R"(</sheetData></worksheet>)"}});

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result);
    QCOMPARE(result->extractedText, "Kunde Betrag Grüße  an alle");
    QCOMPARE(result->metadata, MetadataMap({{"source", "xlsx"}}));
}

void TestOfficeProcessor::damagedPackages_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");

    writeZip(m_dir.filePath("ohne.zip"), {{"word/other.xml", WordDocument}});
    writeZip(m_dir.filePath("ganz.zip"), {{"word/document.xml", WordDocument.repeated(50)}});
    QFile withoutMember(m_dir.filePath("ohne.zip"));
    QFile whole(m_dir.filePath("ganz.zip"));
    QVERIFY(withoutMember.open(QIODevice::ReadOnly) && whole.open(QIODevice::ReadOnly));
    const QByteArray complete = whole.readAll();

    QTest::newRow("not a zip") << "text.docx" << QByteArray("Dies ist kein ZIP-Archiv.\n");
    QTest::newRow("member missing") << "ohne.docx" << withoutMember.readAll();
    QTest::newRow("truncated") << "halb.docx" << complete.left(complete.size() / 2);
    QTest::newRow("empty") << "leer.xlsx" << QByteArray();
}

void TestOfficeProcessor::damagedPackages()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);

    const QString path = m_dir.filePath(fileName);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result);
    QCOMPARE(result->extractedText, QString());
    QCOMPARE(result->metadata, MetadataMap({{"source", lowerExtension(path)}}));
}

void TestOfficeProcessor::compressionBombIsNotInflatedWhole()
{
    constexpr zip_uint64_t Inflated = 2ULL << 30;
    const QString path = m_dir.filePath("bombe.xlsx");
    {
        BombSource bomb{Inflated};
        int error = 0;
        zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        QVERIFY(archive);
        zip_source_t *source = zip_source_function(archive, &BombSource::callback, &bomb);
        QVERIFY(source);
        const zip_int64_t index = zip_file_add(archive, "xl/sharedStrings.xml", source, 0);
        QVERIFY(index >= 0);
        QCOMPARE(zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, 9), 0);
        QCOMPARE(zip_close(archive), 0);
    }
    QVERIFY(QFileInfo(path).size() < 8 * 1024 * 1024);

    // The reader stops at its bound however large the member claims or turns out to be.
    const std::optional<QByteArray> head = ZipEntry::read(path, "xl/sharedStrings.xml", 1 << 20);
    QVERIFY(head);
    QCOMPARE(head->size(), 1 << 20);
    QVERIFY(head->startsWith("<sst><si><t>Bombe</t></si>"));

    const long residentBefore = maxResidentKiB();
    QElapsedTimer timer;
    timer.start();
    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result);
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString("%1 ms").arg(timer.elapsed())));
    QVERIFY2(maxResidentKiB() - residentBefore < 512 * 1024, "more than 512 MiB were held");
    QCOMPARE(UnicodeText::graphemeCount(result->extractedText), TextLimits::Document);
    QVERIFY(result->extractedText.startsWith("Bombe Bombe Bombe"));
}

void TestOfficeProcessor::collectsOneQualifiedName_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("tagName");
    QTest::addColumn<QString>("expected");

    const QByteArray mixed = "<r xmlns:a='urn:a'><a:t>präfix</a:t><t>ohne</t><T>groß</T><b:t>fremd</b:t></r>";
    QTest::newRow("unprefixed name") << mixed << "t" << "ohne";
    QTest::newRow("prefix is part of the name") << mixed << "a:t" << "präfix";
    QTest::newRow("case-sensitive") << mixed << "T" << "groß";
    QTest::newRow("nested markup and entities")
        << QByteArray("<r><t>A &amp; <i>B</i><![CDATA[ <C>]]></t></r>") << "t" << "A & B <C>";
    QTest::newRow("empty elements are dropped") << QByteArray("<r><t/><t></t><t>x</t></r>") << "t" << "x";
    QTest::newRow("parse error keeps what came before")
        << QByteArray("<r><t>eins</t><t>zwei</t><t>drei</r>") << "t" << "eins zwei";
    QTest::newRow("unterminated element is lost") << QByteArray("<r><t>eins</t><t>zw") << "t" << "eins";
}

void TestOfficeProcessor::collectsOneQualifiedName()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, tagName);
    QFETCH(QString, expected);

    QCOMPARE(XmlTextCollector::joinedText(xml, tagName, 1000), expected);
}

QTEST_GUILESS_MAIN(TestOfficeProcessor)
#include "tst_officeprocessor.moc"
