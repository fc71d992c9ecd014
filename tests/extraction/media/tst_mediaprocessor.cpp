#include "extraction/media/mediaprocessor.h"
#include "extractiontestkit.h"

#include <QDataStream>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace ExtractionTestKit;

namespace {

// A PCM WAV file of 8-bit mono silence.
QByteArray wav(quint32 sampleRate, quint32 seconds)
{
    const quint32 size = sampleRate * seconds;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + size);
    out.writeRawData("WAVEfmt ", 8);
    // Format size, PCM, one channel, sample rate, byte rate, block size, bits per sample.
    out << quint32(16) << quint16(1) << quint16(1) << sampleRate << sampleRate << quint16(1) << quint16(8);
    out.writeRawData("data", 4);
    out << size;
    return bytes + QByteArray(size, '\x80');
}

} // namespace

class TestMediaProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void files_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("ffmpeg");       // the arguments that make the file instead, when there is no content
        QTest::addColumn<MetadataMap>("expected"); // all but "source"; empty: no media file
        QTest::newRow("3 s") << "kurz.wav" << wav(8000, 3) << QString()
                             << MetadataMap{{"duration", "0:03"}, {"tracks", "Audio"}};
        QTest::newRow("2 h, minutes not wrapped")
            << "lang.wav" << wav(50, 7200) << QString() << MetadataMap{{"duration", "120:00"}, {"tracks", "Audio"}};
        QTest::newRow("text named mp3: fails")
            << "song.mp3" << QByteArray("Dies ist keine Musik.\n") << QString() << MetadataMap();
        QTest::newRow("video with two audio tracks")
            << "clip.mp4" << QByteArray()
            << "-f lavfi -i color=c=blue:s=1920x1080:r=10 -f lavfi -i anullsrc=r=8000 -f lavfi -i anullsrc=r=8000 "
               "-map 0:v -map 1:a -map 2:a -t 0.1 -c:v mpeg4 -c:a aac -metadata \"title=Urlaub am Meer\""
            << MetadataMap{
                   {"duration", "0:00"}, {"title", "Urlaub am Meer"}, {"tracks", "Video: 1920x1080, Audio, Audio"}};
        // Ogg audio under the names voice recorders and messengers give it.
        const QString tone = "-f lavfi -i sine=frequency=440:duration=1 -metadata title=Ansage -c:a ";
        const MetadataMap announcement{{"duration", "0:01"}, {"title", "Ansage"}, {"tracks", "Audio"}};
        QTest::newRow("oga, Vorbis") << "Aufnahme.oga" << QByteArray() << tone + "libvorbis" << announcement;
        QTest::newRow("opus") << "Sprachnachricht.opus" << QByteArray() << tone + "libopus" << announcement;
    }

    void files()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QString, ffmpeg);
        QFETCH(MetadataMap, expected);

        const QString path = m_dir.filePath(fileName);
        if (ffmpeg.isEmpty()) {
            QVERIFY(!writeFile(path, content).isEmpty());
        } else {
            const QString program = QStandardPaths::findExecutable("ffmpeg");
            if (program.isEmpty())
                QFAIL("the ffmpeg command-line tool is missing: run scripts/install-deps.sh");
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
