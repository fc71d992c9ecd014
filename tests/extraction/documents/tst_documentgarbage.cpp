#include "extraction/fileprocessor.h"
#include "extraction/processortable.h"
#include "extractiontestkit.h"

#include <QTemporaryDir>
#include <QTest>

using namespace ExtractionTestKit;

// Random bytes under every extension the processor table handles: no crash, no text.
class TestDocumentGarbage final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void garbageGivesNoText_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("prefix");

        for (const FileProcessor *processor : ProcessorTable::processors()) {
            if (const auto *byExtension = dynamic_cast<const ExtensionProcessor *>(processor)) {
                for (const QString &extension : byExtension->extensions())
                    QTest::newRow(qPrintable(extension)) << "x." + extension << QByteArray();
            }
        }
        // Valid starts, so that the readers get past their first check.
        QTest::newRow("pdf header") << "y.pdf" << QByteArray("%PDF-1.4\n1 0 obj\n<<");
        QTest::newRow("zip header") << "y.docx" << QByteArray("PK\x03\x04\x14\x00", 6);
        QTest::newRow("html title") << "y.htm" << QByteArray("<html><title>x</title>");
        QTest::newRow("mail header") << "y.eml" << QByteArray("Subject: x\r\n\r\n");
    }

    void garbageGivesNoText()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, prefix);
        const QByteArray content = randomBytes(256 * 1024, qHash(fileName)).replace(0, prefix.size(), prefix);
        const QString path = m_dir.filePath(fileName);
        // A bundle is a folder that keeps its text in TXT.rtf.
        QVERIFY(!writeFile(fileName.endsWith(".rtfd") ? path + "/TXT.rtf" : path, content).isEmpty());

        const ExtractionResult result = ProcessorTable::processorFor(path).extract(path);
        if (!result)
            QVERIFY(result.error().message.startsWith("Keine lesbare Audio- oder Videodatei: "));
        else
            QCOMPARE(result->extractedText, QString());
        QVERIFY(!result || result->metadata.size() <= 1);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestDocumentGarbage)
#include "tst_documentgarbage.moc"
