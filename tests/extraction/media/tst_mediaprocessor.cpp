#include "extraction/media/mediaprocessor.h"
#include "extractiontestkit.h"

using namespace ExtractionTestKit;

class TestMediaProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void files_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("ffmpeg");       // the arguments that make the file; empty: a text file
        QTest::addColumn<MetadataMap>("expected"); // all but "source"; empty: no media file
        const auto row = [](const char *name, const QString &file, const QString &ffmpeg, const MetadataMap &expected) {
            QTest::newRow(name) << file << ffmpeg << expected;
        };
        const QString silence = "-f lavfi -i anullsrc=cl=mono:r=";
        row("2 h, minutes not wrapped", "lang.wav", silence + "50 -t 7200",
            {{"duration", "120:00"}, {"tracks", "Audio"}});
        row("text named mp3: fails", "song.mp3", {}, {});
        row("video with two audio tracks", "clip.mp4",
            "-f lavfi -i color=c=blue:s=1920x1080:r=10 -f lavfi -i anullsrc=r=8000 -f lavfi -i anullsrc=r=8000 "
            "-map 0:v -map 1:a -map 2:a -t 0.1 -c:v mpeg4 -c:a aac -metadata \"title=Urlaub am Meer\"",
            {{"duration", "0:00"}, {"title", "Urlaub am Meer"}, {"tracks", "Video: 1920x1080, Audio, Audio"}});
        // Ogg audio as messengers send it.
        row("opus", "Sprachnachricht.opus",
            "-f lavfi -i sine=frequency=440:duration=1 -metadata title=Ansage -c:a libopus",
            {{"duration", "0:01"}, {"title", "Ansage"}, {"tracks", "Audio"}});
        // Tags that say nothing are left out: an unset ID3 comment's "0", an encoder's note.
        const QString sine = "-f lavfi -i sine=frequency=440:duration=1 ";
        row("ID3 comment 0 is no description", "Diktat.mp3", sine + "-metadata title=Diktat -metadata comment=0",
            {{"duration", "0:01"}, {"title", "Diktat"}, {"tracks", "Audio"}});
        row("encoder's note is no description", "Notiz.ogg",
            sine + "-c:a libvorbis -metadata title=Notiz -metadata \"comment=Encoded with Audacity\"",
            {{"duration", "0:01"}, {"title", "Notiz"}, {"tracks", "Audio"}});
        row("a comment that says something is the description", "Sitzung.ogg",
            sine + "-c:a libvorbis -metadata title=Sitzung -metadata \"comment=Mitschnitt der Sitzung vom 3. Mai\"",
            {{"duration", "0:01"},
             {"title", "Sitzung"},
             {"description", "Mitschnitt der Sitzung vom 3. Mai"},
             {"tracks", "Audio"}});
    }

    void files()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, ffmpeg);
        QFETCH(MetadataMap, expected);

        const QString path = m_dir.filePath(fileName);
        if (ffmpeg.isEmpty()) {
            QVERIFY(!writeFile(path, "Dies ist keine Musik.\n").isEmpty());
        } else {
            const QString program = QStandardPaths::findExecutable("ffmpeg");
            QVERIFY2(!program.isEmpty(), "the ffmpeg command-line tool is missing: run scripts/install-deps.sh");
            QProcess process;
            process.setProcessChannelMode(QProcess::MergedChannels);
            process.start(program, QProcess::splitCommand("-hide_banner -loglevel error -y " + ffmpeg) << path);
            QVERIFY2(process.waitForFinished(60000) && process.exitCode() == 0, process.readAll().constData());
        }

        const ExtractionResult result = m_processor.extract(path);
        if (expected.isEmpty()) {
            QVERIFY(!result);
            QVERIFY(result.error().message.startsWith("Keine lesbare Audio- oder Videodatei: "));
            return;
        }
        QVERIFY2(result, qPrintable(result ? QString() : result.error().message));
        MetadataMap metadata = result->metadata;
        QCOMPARE(metadata.entries().value(0), MetadataMap::Entry("source", "avfoundation"));
        metadata.remove("source");
        QCOMPARE(metadata, expected);
        QCOMPARE(result->extractedText, formatMetadata(expected).join('\n'));
    }

private:
    QTemporaryDir m_dir;
    const MediaProcessor m_processor;
};

QTEST_GUILESS_MAIN(TestMediaProcessor)
#include "tst_mediaprocessor.moc"
