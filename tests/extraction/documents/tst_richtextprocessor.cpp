#include "extraction/documents/richtextprocessor.h"
#include "extraction/documents/rtfreader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestRichTextProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void plainText_data();
    void plainText();
    void deepNesting_data();
    void deepNesting();
    void stopsAtLengthBound();
    void filesAndBundles_data();
    void filesAndBundles();

private:
    QTemporaryDir m_dir;
    const RichTextProcessor m_processor;
};

void TestRichTextProcessor::plainText_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("paragraphs, tables skipped")
        << QByteArray(R"({\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Helvetica;}}{\colortbl;\red255\green0\blue0;})"
                      R"({\stylesheet{\s0 Normal;}}\pard\f0\fs24 Hallo\par Welt\par})")
        << "Hallo\nWelt\n";
    QTest::newRow("line, tab, raw line breaks") << QByteArray("{\\rtf1 Na\r\nme:\\tab Anna\\line Ort:\\tab Bonn}")
                                                << "Name:\tAnna\nOrt:\tBonn";
    QTest::newRow("escaped symbols") << QByteArray(R"({\rtf1 a\{b\}c\\d\~e\-f})") << "a{b}c\\d\u00a0ef";
    QTest::newRow("default code page 1252") << QByteArray(R"({\rtf1\ansi Gr\'fc\'dfe \'80})") << "Grüße €";
    QTest::newRow("code page 1251") << QByteArray(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})")
                                    << "Привет";
    QTest::newRow("double-byte code page 932") << QByteArray(R"({\rtf1\ansi\ansicpg932 \'93\'fa\'96\'7b})")
                                               << "日本";
    QTest::newRow("unicode, one fallback byte") << QByteArray(R"({\rtf1 \u8364\'80 Euro})") << "€ Euro";
    QTest::newRow("unicode, two fallback bytes")
        << QByteArray(R"({\rtf1\uc2 \u26085\'93\'fa\u26412\'96\'7b!})") << "日本!";
    QTest::newRow("unicode, negative and surrogates") << QByteArray(R"({\rtf1 \u-10179?\u-8694?\u-3913?})")
                                                      << "\U0001F60A\uF0B7";
    QTest::newRow("fallback skip ends at group") << QByteArray(R"({\rtf1\uc3 \u252{x}y})") << "üxy";
    QTest::newRow("uc is scoped to its group") << QByteArray(R"({\rtf1{\uc0 \u228}\u246 ab})") << "äöb";
    QTest::newRow("destinations skipped")
        << QByteArray(R"({\rtf1{\info{\title Geheim}{\author A}}{\*\generator Word;}{\header Kopfzeile\par})"
                      R"({\footer Fuß}{\pict\pngblip 89504e470d0a}{\*\unbekannt X}Text})")
        << "Text";
    QTest::newRow("field result kept, instruction not")
        << QByteArray(R"({\rtf1 Siehe {\field{\*\fldinst HYPERLINK "https://x.de"}{\fldrslt Webseite}}.})")
        << "Siehe Webseite.";
    QTest::newRow("binary data skipped") << QByteArray("{\\rtf1 a\\bin4 }{\\}b}") << "ab";
    QTest::newRow("text after the document ignored") << QByteArray(R"({\rtf1 Ende} danach)") << "Ende";
    QTest::newRow("not rtf") << QByteArray("Hallo Welt") << "";
    QTest::newRow("unterminated") << QByteArray(R"({\rtf1 offen{\b fett\')") << "offenfett";
}

void TestRichTextProcessor::plainText()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);

    QCOMPARE(RtfReader::plainText(rtf, 1000), expected);
}

void TestRichTextProcessor::deepNesting_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    constexpr int Depth = 100000;
    QTest::newRow("balanced") << "{\\rtf1 " + QByteArray(Depth, '{') + "tief" + QByteArray(Depth, '}') + " oben}"
                              << "tief oben";
    QTest::newRow("unbalanced") << "{\\rtf1 " + QByteArray(Depth, '{') + "tief" << "tief";
    // Groups below the tracked depth inherit the skipped state of their destination.
    QTest::newRow("inside a skipped destination")
        << "{\\rtf1 {\\*\\geheim " + QByteArray(Depth, '{') + "nein" + QByteArray(Depth, '}') + "}ja}"
        << "ja";
}

void TestRichTextProcessor::deepNesting()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);

    QCOMPARE(RtfReader::plainText(rtf, 1000), expected);
}

void TestRichTextProcessor::stopsAtLengthBound()
{
    const QByteArray rtf = "{\\rtf1 " + QByteArray("Wort\\par ").repeated(100000) + "}";
    const QString text = RtfReader::plainText(rtf, 500);
    QCOMPARE(text.size(), 500);
    QVERIFY(text.startsWith("Wort\nWort\n"));
}

void TestRichTextProcessor::filesAndBundles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    const QByteArray letter = R"({\rtf1\ansi\ansicpg1252 Sehr geehrte Frau M\'fcller,\par Ihre Rechnung.})";
    writeFile(m_dir.filePath("Brief.RTF"), letter);
    QVERIFY(QDir(m_dir.path()).mkpath("Notiz.rtfd"));
    writeFile(m_dir.filePath("Notiz.rtfd/TXT.rtf"), R"({\rtf1 Notiz im Paket})");
    writeFile(m_dir.filePath("Notiz.rtfd/bild.png"), "\x89PNG");
    QVERIFY(QDir(m_dir.path()).mkpath("Leer.rtfd"));
    writeFile(m_dir.filePath("text.rtf"), "Nur Text, kein RTF");

    QTest::newRow("rtf file") << m_dir.filePath("Brief.RTF") << "Sehr geehrte Frau Müller,\nIhre Rechnung.";
    QTest::newRow("rtfd bundle") << m_dir.filePath("Notiz.rtfd") << "Notiz im Paket";
    QTest::newRow("bundle without TXT.rtf") << m_dir.filePath("Leer.rtfd") << "";
    QTest::newRow("plain text named rtf") << m_dir.filePath("text.rtf") << "";
    QTest::newRow("missing file") << m_dir.filePath("fehlt.rtf") << "";
}

void TestRichTextProcessor::filesAndBundles()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);

    QVERIFY(m_processor.canProcess(path));
    const ExtractionResult result = m_processor.extract(path);
    QVERIFY(result);
    QCOMPARE(result->extractedText, expected);
    QCOMPARE(result->metadata, MetadataMap({{"source", "rtf"}}));
}

QTEST_GUILESS_MAIN(TestRichTextProcessor)
#include "tst_richtextprocessor.moc"
