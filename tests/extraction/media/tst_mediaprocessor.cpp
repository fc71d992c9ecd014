#include "extraction/media/mediaprocessor.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent/QtConcurrentMap>
#include <QtEndian>

using StringMap = QMap<QString, QString>;

namespace {

// A complete PCM WAV file of silence.
void writeWav(const QString &path, quint32 sampleRate, quint32 seconds, quint16 bitsPerSample)
{
    const quint16 channels = 1;
    const quint32 blockAlign = channels * bitsPerSample / 8;
    const quint32 dataSize = sampleRate * seconds * blockAlign;
    QByteArray header(44, '\0');
    auto put32 = [&](int offset, quint32 value) { qToLittleEndian(value, header.data() + offset); };
    auto put16 = [&](int offset, quint16 value) { qToLittleEndian(value, header.data() + offset); };
    header.replace(0, 4, "RIFF");
    put32(4, 36 + dataSize);
    header.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1); // PCM
    put16(22, channels);
    put32(24, sampleRate);
    put32(28, sampleRate * blockAlign);
    put16(32, quint16(blockAlign));
    put16(34, bitsPerSample);
    header.replace(36, 4, "data");
    put32(40, dataSize);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(header);
    file.write(QByteArray(qsizetype(dataSize), bitsPerSample == 8 ? '\x80' : '\0'));
}

StringMap toMap(const MetadataMap &metadata)
{
    StringMap map;
    for (const auto &entry : metadata.entries())
        map.insert(entry.first, entry.second);
    return map;
}

QStringList sortedExtensions(const ExtensionProcessor &processor)
{
    QStringList extensions(processor.extensions().cbegin(), processor.extensions().cend());
    extensions.sort();
    return extensions;
}

} // namespace

class TestMediaProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pcmDuration_data();
    void pcmDuration();
    void encodedFiles_data();
    void encodedFiles();
    void unreadableFilesFail_data();
    void unreadableFilesFail();
    void concurrentExtraction();

private:
    // Runs the ffmpeg CLI with `arguments` writing `fileName`; false when it fails.
    bool runFfmpeg(const QStringList &arguments, const QString &fileName);

    QTemporaryDir m_dir;
    QString m_ffmpeg;
    const MediaProcessor m_processor;
};

void TestMediaProcessor::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_ffmpeg = QStandardPaths::findExecutable("ffmpeg");
}

bool TestMediaProcessor::runFfmpeg(const QStringList &arguments, const QString &fileName)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(m_ffmpeg, QStringList{"-hide_banner", "-loglevel", "error", "-y"} + arguments +
                                QStringList{m_dir.filePath(fileName)});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning() << "ffmpeg failed:" << process.readAll();
        return false;
    }
    return true;
}

void TestMediaProcessor::pcmDuration_data()
{
    QTest::addColumn<quint32>("sampleRate");
    QTest::addColumn<quint32>("seconds");
    QTest::addColumn<quint16>("bits");
    QTest::addColumn<QString>("duration");

    QTest::newRow("3 s") << 8000u << 3u << quint16(16) << "0:03";
    QTest::newRow("59 s") << 100u << 59u << quint16(8) << "0:59";
    QTest::newRow("2 h, minutes not wrapped") << 50u << 7200u << quint16(8) << "120:00";
    QTest::newRow("62:05") << 50u << 3725u << quint16(8) << "62:05";
}

void TestMediaProcessor::pcmDuration()
{
    QFETCH(quint32, sampleRate);
    QFETCH(quint32, seconds);
    QFETCH(quint16, bits);
    QFETCH(QString, duration);

    const QString path = m_dir.filePath("sound.wav");
    writeWav(path, sampleRate, seconds, bits);
    const ExtractionResult result = m_processor.extract(path);
    QVERIFY2(result.has_value(), qPrintable(result ? QString() : result.error().message));
    const MetadataMap expected{{"source", "avfoundation"}, {"duration", duration}, {"tracks", "Audio"}};
    QCOMPARE(result->metadata, expected);
    QCOMPARE(result->extractedText, "duration: " + duration + "\ntracks: Audio");
}

void TestMediaProcessor::encodedFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<StringMap>("expected");

    const QStringList silence{"-f", "lavfi", "-i", "anullsrc=r=8000:cl=mono"};
    const QStringList frame{"-f", "lavfi", "-i", "color=c=blue:s=1920x1080:r=10"};

    QTest::newRow("video with two audio tracks")
        << "clip.mp4" << frame + silence + silence + QStringList{"-map",      "0:v",
                                                                 "-map",      "1:a",
                                                                 "-map",      "2:a",
                                                                 "-t",        "0.1",
                                                                 "-c:v",      "mpeg4",
                                                                 "-c:a",      "aac",
                                                                 "-metadata", "title=Urlaub am Meer",
                                                                 "-metadata", "artist=Anna Schmidt"}
        << StringMap{{"source", "avfoundation"},
                     {"duration", "0:00"},
                     {"title", "Urlaub am Meer"},
                     {"artist", "Anna Schmidt"},
                     {"tracks", "Video: 1920x1080, Audio, Audio"}};
    QTest::newRow("mp3 with ID3 tags and cover art")
        << "song.mp3"
        << silence + QStringList{"-f",
                                 "lavfi",
                                 "-i",
                                 "color=c=red:s=64x64",
                                 "-map",
                                 "0:a",
                                 "-map",
                                 "1:v",
                                 "-t",
                                 "2",
                                 "-frames:v",
                                 "1",
                                 "-c:a",
                                 "libmp3lame",
                                 "-c:v",
                                 "png",
                                 "-disposition:v",
                                 "attached_pic",
                                 "-metadata",
                                 "title=Über den Wolken",
                                 "-metadata",
                                 "artist=Reinhard Mey",
                                 "-metadata",
                                 "album=Mein Album",
                                 "-metadata",
                                 "date=1974",
                                 "-metadata",
                                 "comment=Live",
                                 "-id3v2_version",
                                 "3"}
        << StringMap{{"source", "avfoundation"}, {"duration", "0:02"},    {"title", "Über den Wolken"},
                     {"artist", "Reinhard Mey"}, {"album", "Mein Album"}, {"date", "1974"},
                     {"description", "Live"},    {"tracks", "Audio"}};
    QTest::newRow("ogg keeps its comments on the stream") << "voice.ogg"
                                                          << silence + QStringList{"-t",
                                                                                   "1",
                                                                                   "-c:a",
                                                                                   "libvorbis",
                                                                                   "-metadata:s:a:0",
                                                                                   "title=Sprachnotiz",
                                                                                   "-metadata:s:a:0",
                                                                                   "description=Besprechung"}
                                                          << StringMap{{"source", "avfoundation"},
                                                                       {"duration", "0:01"},
                                                                       {"title", "Sprachnotiz"},
                                                                       {"description", "Besprechung"},
                                                                       {"tracks", "Audio"}};

    // One file per remaining container, so that each one's demuxer is proven to be allowed.
    const QStringList small{"-f", "lavfi", "-i", "color=c=green:s=320x240:r=10"};
    const StringMap oneSecond{{"source", "avfoundation"}, {"duration", "0:01"}, {"title", "Film"}};
    struct Container {
        const char *fileName;
        QStringList codecs;
        bool video;
    };
    const Container containers[]{
        {"dictation.flac", {"-c:a", "flac"}, false},
        {"tone.aiff", {"-c:a", "pcm_s16be"}, false},
        {"memo.m4a", {"-c:a", "aac"}, false},
        {"clip.mov", {"-c:v", "mpeg4", "-c:a", "aac"}, true},
        {"clip.m4v", {"-c:v", "mpeg4", "-c:a", "aac", "-f", "mp4"}, true},
        {"clip.mkv", {"-c:v", "mpeg4", "-c:a", "libvorbis"}, true},
        {"clip.webm", {"-c:v", "libvpx", "-c:a", "libopus"}, true},
        {"clip.avi", {"-c:v", "mpeg4", "-c:a", "pcm_s16le"}, true},
        {"clip.wmv", {"-c:v", "wmv2", "-c:a", "wmav2"}, true},
    };
    for (const Container &c : containers) {
        StringMap expected = oneSecond;
        expected.insert("tracks", c.video ? "Video: 320x240, Audio" : "Audio");
        QTest::newRow(c.fileName) << c.fileName
                                  << (c.video ? small : QStringList{}) + silence +
                                         QStringList{"-t", "1", "-metadata", "title=Film"} + c.codecs
                                  << expected;
    }
    // Raw ADTS has no tags and no index: its duration is estimated from the bit rate.
    QTest::newRow("adts") << "voice.aac" << silence + QStringList{"-t", "2", "-c:a", "aac", "-f", "adts"}
                          << StringMap{{"source", "avfoundation"}, {"duration", "0:02"}, {"tracks", "Audio"}};
}

void TestMediaProcessor::encodedFiles()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, arguments);
    QFETCH(StringMap, expected);
    if (m_ffmpeg.isEmpty())
        QSKIP("the ffmpeg command-line tool is needed to make this test's media files");
    QVERIFY(runFfmpeg(arguments, fileName));

    const ExtractionResult result = m_processor.extract(m_dir.filePath(fileName));
    QVERIFY2(result.has_value(), qPrintable(result ? QString() : result.error().message));
    QCOMPARE(toMap(result->metadata), expected);
    QCOMPARE(result->metadata.entries().constFirst().first, "source");
    QVERIFY(!result->extractedText.contains("source"));
    QVERIFY(!result->extractedText.contains("avfoundation"));
    QCOMPARE(result->extractedText.count('\n'), expected.size() - 2);
    QVERIFY(result->extractedText.contains("tracks: " + expected.value("tracks")));
}

void TestMediaProcessor::unreadableFilesFail_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("text named mp3") << "song.mp3"
                                    << QByteArray("Dies ist keine Musik, sondern eine Textdatei.\n");
    QTest::newRow("empty") << "empty.wav" << QByteArray();
    QTest::newRow("RIFF header only") << "short.wav" << QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16);
    QByteArray garbage(16384, Qt::Uninitialized);
    QRandomGenerator random(1234);
    for (char &c : garbage)
        c = char(random.bounded(256));
    for (const QString &extension : sortedExtensions(m_processor))
        QTest::newRow(qPrintable("garbage ." + extension)) << "garbage." + extension << garbage;
    QTest::newRow("playlist pointing elsewhere")
        << "list.mp4" << QByteArray("#EXTM3U\n#EXTINF:10,\nfile:///etc/hostname\n");
}

void TestMediaProcessor::unreadableFilesFail()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);

    const QString path = m_dir.filePath(fileName);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(!result.has_value());
    QVERIFY2(result.error().message.startsWith("Keine lesbare Audio- oder Videodatei: "),
             qPrintable(result.error().message));
}

void TestMediaProcessor::concurrentExtraction()
{
    // Names that would mean something else in a URL: "?", "#", a scheme.
    QStringList paths;
    for (int i = 0; i < 8; ++i) {
        paths << m_dir.filePath(QString("http:parallel %1 #?.wav").arg(i));
        writeWav(paths.last(), 100, quint32((i + 1) * 61), 8);
    }
    paths << m_dir.filePath("garbage.mp3");

    const QList<ExtractionResult> results = QtConcurrent::blockingMapped<QList<ExtractionResult>>(
        paths, [this](const QString &path) { return m_processor.extract(path); });
    for (int i = 0; i < 8; ++i) {
        QVERIFY(results[i].has_value());
        QCOMPARE(results[i]->metadata.value("duration"),
                 QString::asprintf("%d:%02d", (i + 1) * 61 / 60, (i + 1) * 61 % 60));
        QCOMPARE(results[i]->fileName, QString("http:parallel %1 #?.wav").arg(i));
    }
    QVERIFY(!results.last().has_value());
}

QTEST_GUILESS_MAIN(TestMediaProcessor)
#include "tst_mediaprocessor.moc"
