#include "extraction/fileprocessor.h"
#include "extraction/processortable.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

// Random bytes under every document extension: each processor must answer with empty text.
class TestDocumentGarbage final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void garbageGivesEmptyText_data();
    void garbageGivesEmptyText();

private:
    QTemporaryDir m_dir;
};

void TestDocumentGarbage::garbageGivesEmptyText_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<MetadataMap>("metadata");

    const MetadataMap none;
    QTest::newRow("pdf") << "x.pdf" << QByteArray() << MetadataMap{{"source", "pdfkit"}};
    QTest::newRow("pdf header") << "y.pdf" << QByteArray("%PDF-1.4\n1 0 obj\n<<") << MetadataMap{{"source", "pdfkit"}};
    QTest::newRow("docx") << "x.docx" << QByteArray() << MetadataMap{{"source", "docx"}};
    QTest::newRow("docx zip header") << "y.docx" << QByteArray("PK\x03\x04\x14\x00", 6) << MetadataMap{{"source", "docx"}};
    QTest::newRow("xlsx") << "x.xlsx" << QByteArray() << MetadataMap{{"source", "xlsx"}};
    QTest::newRow("rtf") << "x.rtf" << QByteArray() << MetadataMap{{"source", "rtf"}};
    QTest::newRow("rtfd") << "x.rtfd/TXT.rtf" << QByteArray() << MetadataMap{{"source", "rtf"}};
    QTest::newRow("html") << "x.html" << QByteArray() << MetadataMap{{"source", "html"}};
    QTest::newRow("htm") << "x.htm" << QByteArray("<html><title>x</title>") << MetadataMap{{"source", "html"}};
    QTest::newRow("xhtml") << "x.xhtml" << QByteArray() << MetadataMap{{"source", "html"}};
    QTest::newRow("eml") << "x.eml" << QByteArray("Subject: x\r\n\r\n") << none;
}

void TestDocumentGarbage::garbageGivesEmptyText()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, prefix);
    QFETCH(MetadataMap, metadata);

    QByteArray content(256 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(qHash(fileName));
    generator.fillRange(reinterpret_cast<quint32 *>(content.data()), content.size() / 4);
    content.replace(0, prefix.size(), prefix);

    QString path = m_dir.filePath(fileName);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    if (path.endsWith("/TXT.rtf"))
        path = QFileInfo(path).path();

    const FileProcessor &processor = ProcessorTable::processorFor(path);
    const ExtractionResult result = processor.extract(path);
    QVERIFY(result);
    QCOMPARE(result->extractedText, QString());
    QCOMPARE(result->metadata, metadata);
}

QTEST_GUILESS_MAIN(TestDocumentGarbage)
#include "tst_documentgarbage.moc"
