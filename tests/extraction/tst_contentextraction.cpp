#include "awaittask.h"
#include "companion/kvxclient.h"
#include "engine/filepipeline.h"
#include "extraction/contentextraction.h"
#include "extraction/documents/binaryofficeprocessor.h"
#include "extraction/documents/emailprocessor.h"
#include "extraction/documents/htmlprocessor.h"
#include "extraction/documents/officeprocessor.h"
#include "extraction/documents/pdfprocessor.h"
#include "extraction/documents/richtextprocessor.h"
#include "extraction/documents/xmlprocessor.h"
#include "extraction/fileprocessor.h"
#include "extraction/genericprocessor.h"
#include "extraction/localextraction.h"
#include "extraction/media/imageprocessor.h"
#include "extraction/media/mediaprocessor.h"
#include "extraction/processortable.h"
#include "extractiontestkit.h"
#include "korvexstub.h"
#include "settings/defaultsstore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <typeinfo>

using namespace ExtractionTestKit;

class TestContentExtraction final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dispatchTable_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("processor"); // the type's name as typeid gives it
        // One extension per processor (garbageGivesNoText walks every one), then case and dots.
        const QList<QPair<const char *, const std::type_info *>> rows{
            {"report.PDF", &typeid(PDFProcessor)},    {"a.jpg", &typeid(ImageProcessor)},
            {"a.XLSX", &typeid(OfficeProcessor)},     {"a.rtfd", &typeid(RichTextProcessor)},
            {"a.htm", &typeid(HTMLProcessor)},        {"a.eml", &typeid(EmailProcessor)},
            {"a.Opus", &typeid(MediaProcessor)},      {"a.PPT", &typeid(BinaryOfficeProcessor)},
            {"a.XML", &typeid(XMLProcessor)},         {"README", &typeid(GenericProcessor)},
            {".pdf", &typeid(GenericProcessor)},      {"a.tar.gz", &typeid(GenericProcessor)},
            {"a.pdf.txt", &typeid(GenericProcessor)}, {"a.", &typeid(GenericProcessor)},
        };
        for (const auto &[name, processor] : rows)
            QTest::newRow(name) << name << processor->name();
    }

    void dispatchTable()
    {
        QFETCH(QString, fileName);
        QTEST(QString(typeid(ProcessorTable::processorFor("/some/folder/" + fileName)).name()), "processor");
    }

    // Random bytes under every extension the table handles: no crash, no text.
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
        QTest::newRow("compound file header") << "y.xls" << QByteArray("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", 8);
        QTest::newRow("html title") << "y.htm" << QByteArray("<html><title>x</title>");
        QTest::newRow("mail header") << "y.eml" << QByteArray("Content-Type: text/plain\r\n\r\n");
    }

    void garbageGivesNoText()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, prefix);
        const QByteArray content = randomBytes(256 * 1024, qHash(fileName)).replace(0, prefix.size(), prefix);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        // A bundle is a folder that keeps its text in TXT.rtf.
        QVERIFY(!writeFile(fileName.endsWith(".rtfd") ? path + "/TXT.rtf" : path, content).isEmpty());

        const FileProcessor &processor = ProcessorTable::processorFor(path);
        const ExtractionResult result = processor.extract(path);
        if (!result)
            QVERIFY(result.error().message.startsWith("Keine lesbare Audio- oder Videodatei: "));
        else
            QCOMPARE(result->extractedText, QString());
        // XML that is no invoice is described as the generic path describes any file.
        if (typeid(processor) == typeid(XMLProcessor))
            QCOMPARE(result->metadata.entries().size(), 2);
        else
            QVERIFY(!result || result->metadata.size() <= 1);
    }

    void genericTextPath_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expectedText");
        const auto row = [](const char *name, const QString &file, const QByteArray &content, const QString &text) {
            QTest::newRow(name) << file << content << text;
        };
        const QByteArray umlauts = QByteArray("e\xcc\x88").repeated(5000); // one character, two code points each
        row("cut to 4000 characters, not code points", "notes.md", umlauts, QString::fromUtf8(umlauts.left(4000 * 3)));
        row("Latin-1 is not text", "data.csv",
            "Gr\xfc\xdf"
            "e;1\n",
            {});
        row("UTF-8 kept", "data.json", "{\"a\": \"Grüße\"}", "{\"a\": \"Grüße\"}");
        row("8 MiB read, not the character across the mark", "big.log",
            QByteArray(GenericProcessor::MaxTextBytes - 1, 'a') + "\xc3\xa4 and more", QString(4000, 'a'));
        row("other extensions give no text", "a.doc", "plain words", {});
    }

    void genericTextPath()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = writeFile(dir.filePath(fileName), content);
        const ExtractionResult result = GenericProcessor().extract(path);
        QVERIFY(result);
        QTEST(result->extractedText, "expectedText");
        QVERIFY(result->metadata.contains("size"));
        QCOMPARE(result->metadata.value("type"), QString("Reguläre Datei"));
        QVERIFY(!result->metadata.contains("source"));
        QCOMPARE(result->fileSize, content.size());
    }

    void specialFilesAreDescribedNotRead_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("target"); // a link's target; none: the FIFO itself
        QTest::addColumn<QString>("type");
        QTest::newRow("FIFO") << "pipe.pdf" << QString() << "Sonderdatei"; // every processor opens through SourceFile
        QTest::newRow("link to a FIFO") << "verweis.html"
                                        << "pipe"
                                        << "Symbolischer Link";
        QTest::newRow("link to a device") << "null.txt"
                                          << "/dev/zero"
                                          << "Symbolischer Link";
        QTest::newRow("link into /proc") << "umgebung.txt"
                                         << "/proc/self/environ"
                                         << "Symbolischer Link";
    }

    // Opening a FIFO waits for a writer and /proc/kmsg never ends: a worker would be lost for good.
    void specialFilesAreDescribedNotRead()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, target);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName), fifo = target.isEmpty() ? path : dir.filePath("pipe");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        if (!target.isEmpty())
            QVERIFY(QFile::link(target.startsWith('/') ? target : fifo, path));

        QFuture<ExtractionResult> extracted = ContentExtraction::extractLocally(path);
        const bool finished = QTest::qWaitFor([&] { return extracted.isFinished(); }, 5000);
        if (!finished) { // set the stuck reader free before failing
            const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            ::close(writer);
            extracted.waitForFinished();
        }
        QVERIFY(finished);
        const ExtractionResult result = extracted.result();
        QVERIFY(result);
        QCOMPARE(result->extractedText, QString());
        QTEST(result->metadata.value("type"), "type");
    }

    // A worker's recognition engine is gone before the static objects: Tesseract's cache printed
    // "WARNING! LEAK!" on the terminal when the process ended.
    void exitAfterRecognitionIsQuiet()
    {
        QTemporaryDir dir;
        if (qEnvironmentVariableIsSet("NAMORIX_RECOGNISE_AND_EXIT")) { // the child: one picture read on a worker
            QImage blank(200, 100, QImage::Format_Grayscale8);
            blank.fill(Qt::white);
            QVERIFY(blank.save(dir.filePath("leer.png")));
            ContentExtraction::extractLocally(dir.filePath("leer.png")).waitForFinished();
            return;
        }
        QProcess child;
        qputenv("NAMORIX_RECOGNISE_AND_EXIT", "1");
        child.start(QCoreApplication::applicationFilePath(), {QTest::currentTestFunction()});
        qunsetenv("NAMORIX_RECOGNISE_AND_EXIT");
        QVERIFY(child.waitForFinished(60000) && child.exitCode() == 0);
        const QByteArray printed = child.readAllStandardError();
        QVERIFY2(!printed.contains("LEAK"), printed.constData());
    }

    void companionShortcut()
    {
        QTemporaryDir dir;
        const QString pdf = writeFile(dir.filePath("Rechnung.PDF"), "%PDF-1.4 not really");
        const QString text = writeFile(dir.filePath("notiz.txt"), "Notiz");
        KorvexStub korvex;
        QVERIFY(korvex.listen());
        korvex.addDocument({"p1", pdf, {{2, QString(3000, 'b')}, {1, QString(3000, 'a')}}});
        korvex.addDocument({"t1", text, {{1, "aus Korvex"}}});
        DefaultsStore store;
        store.setInteger("kvx.port", korvex.port());
        KVXClient client(store);

        const ExtractionResult indexed = awaitTask(FilePipeline::extract(pdf, client, ExtractionSandbox::shared()));
        QVERIFY(indexed);
        QCOMPARE(indexed->metadata, (MetadataMap{{"source", "kvx"}}));
        QCOMPARE(indexed->extractedText, QString(3000, 'a') + '\n' + QString(999, 'b'));
        QCOMPARE(indexed->fileName, QString("Rechnung.PDF"));
        QCOMPARE(indexed->fileExtension, QString("pdf"));

        // Only PDFs and images take the shortcut.
        const ExtractionResult plain = awaitTask(FilePipeline::extract(text, client, ExtractionSandbox::shared()));
        QCOMPARE(plain->extractedText, QString("Notiz"));

        // Switched off: the PDF goes through the table to the PDF processor instead.
        store.setBool("kvx.enabled", false);
        const ExtractionResult local = awaitTask(FilePipeline::extract(pdf, client, ExtractionSandbox::shared()));
        QVERIFY(local);
        QCOMPARE(local->metadata, (MetadataMap{{"source", "pdfkit"}}));
    }
};

QTEST_GUILESS_MAIN(TestContentExtraction)
#include "tst_contentextraction.moc"
