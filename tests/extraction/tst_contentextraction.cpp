#include "awaittask.h"
#include "companion/kvxclient.h"
#include "extraction/contentextraction.h"
#include "extraction/documents/emailprocessor.h"
#include "extraction/documents/htmlprocessor.h"
#include "extraction/documents/officeprocessor.h"
#include "extraction/documents/pdfprocessor.h"
#include "extraction/documents/richtextprocessor.h"
#include "extraction/genericprocessor.h"
#include "extraction/media/imageprocessor.h"
#include "extraction/media/mediaprocessor.h"
#include "extraction/processortable.h"
#include "extractiontestkit.h"
#include "korvexstub.h"
#include "settings/defaultsstore.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <typeinfo>

using ExtractionTestKit::writeFile;

namespace {

QString processorName(const FileProcessor &processor)
{
    if (dynamic_cast<const PDFProcessor *>(&processor))
        return "pdf";
    if (dynamic_cast<const ImageProcessor *>(&processor))
        return "image";
    if (dynamic_cast<const OfficeProcessor *>(&processor))
        return "office";
    if (dynamic_cast<const RichTextProcessor *>(&processor))
        return "rtf";
    if (dynamic_cast<const HTMLProcessor *>(&processor))
        return "html";
    if (dynamic_cast<const EmailProcessor *>(&processor))
        return "eml";
    if (dynamic_cast<const MediaProcessor *>(&processor))
        return "media";
    if (dynamic_cast<const GenericProcessor *>(&processor))
        return "generic";
    return "?";
}

} // namespace

class TestContentExtraction final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dispatchTable_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("processor");
        // One extension per processor (tst_documentgarbage walks every one), then case and dots.
        const QList<QPair<const char *, const char *>> rows{
            {"report.PDF", "pdf"}, {"a.jpg", "image"},  {"a.XLSX", "office"},    {"a.rtfd", "rtf"},
            {"a.htm", "html"},     {"a.eml", "eml"},    {"a.Opus", "media"},     {"a.doc", "generic"},
            {"README", "generic"}, {".pdf", "generic"}, {"a.tar.gz", "generic"}, {"a.pdf.txt", "generic"},
            {"a.", "generic"},
        };
        for (const auto &[name, processor] : rows)
            QTest::newRow(name) << name << processor;
    }

    void dispatchTable()
    {
        QFETCH(QString, fileName);
        QTEST(processorName(ProcessorTable::processorFor("/some/folder/" + fileName)), "processor");
    }

    void oggAudioIsMedia_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("codec");
        QTest::newRow("oga, Vorbis") << "Aufnahme.oga"
                                     << "libvorbis";
        QTest::newRow("opus") << "Sprachnachricht.opus"
                              << "libopus";
    }

    void oggAudioIsMedia()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, codec);
        const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
        QVERIFY2(!ffmpeg.isEmpty(), "the ffmpeg command-line tool makes this file (scripts/install-deps.sh)");
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(ffmpeg, {"-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i",
                               "sine=frequency=440:duration=1", "-c:a", codec, "-metadata", "title=Ansage", path});
        QVERIFY2(process.waitForFinished(60000) && process.exitCode() == 0, process.readAll().constData());

        const ExtractionResult result = ProcessorTable::processorFor(path).extract(path);
        QVERIFY2(result, qPrintable(result ? QString() : result.error().message));
        QCOMPARE(result->metadata.value("source"), QString("avfoundation"));
        QCOMPARE(result->metadata.value("title"), QString("Ansage"));
        QCOMPARE(result->metadata.value("tracks"), QString("Audio"));
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
        row("log files are text", "server.LOG", "line\n", "line\n");
        row("other extensions give no text", "a.doc", "plain words", {});
        row("no extension gives no text", "README", "plain words", {});
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

    void largeFilesAreJudgedByTheirStart()
    {
        // A two-byte character straddles the 8 MiB mark; the prefix must end before it, not fail.
        QTemporaryDir dir;
        QByteArray content(GenericProcessor::MaxTextBytes - 1, 'a');
        content += "\xc3\xa4 and more after the cut";
        const QString path = writeFile(dir.filePath("big.log"), content);
        const std::optional<QString> prefix = GenericProcessor::readTextPrefix(path);
        QVERIFY(prefix);
        QCOMPARE(prefix->size(), GenericProcessor::MaxTextBytes - 1);
        QCOMPARE(GenericProcessor().extract(path)->extractedText.size(), 4000);
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

        const ExtractionResult indexed = awaitTask(ContentExtraction::extractFileContext(pdf, client));
        QVERIFY(indexed);
        QCOMPARE(indexed->metadata, (MetadataMap{{"source", "kvx"}}));
        QCOMPARE(indexed->extractedText, QString(3000, 'a') + '\n' + QString(999, 'b'));
        QCOMPARE(indexed->fileName, QString("Rechnung.PDF"));
        QCOMPARE(indexed->fileExtension, QString("pdf"));

        // Only PDFs and images take the shortcut.
        const ExtractionResult plain = awaitTask(ContentExtraction::extractFileContext(text, client));
        QCOMPARE(plain->extractedText, QString("Notiz"));

        // Switched off: the PDF goes through the table to the PDF processor instead.
        store.setBool("kvx.enabled", false);
        const ExtractionResult local = awaitTask(ContentExtraction::extractFileContext(pdf, client));
        QVERIFY(local);
        QCOMPARE(local->metadata, (MetadataMap{{"source", "pdfkit"}}));
    }
};

QTEST_GUILESS_MAIN(TestContentExtraction)
#include "tst_contentextraction.moc"
