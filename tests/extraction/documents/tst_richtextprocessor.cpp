#include "extraction/documents/richtextprocessor.h"
#include "extraction/documents/rtfreader.h"
#include "extractiontestkit.h"

using namespace ExtractionTestKit;

class TestRichTextProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void plainText_data();
    void plainText();
    void bundle();
};

void TestRichTextProcessor::plainText_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    constexpr int Depth = 100000;
    QTest::newRow("code page 1251") << QByteArray(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})") << "Привет";
    QTest::newRow("unicode, two fallback bytes")
        << QByteArray(R"({\rtf1\uc2 \u26085\'93\'fa\u26412\'96\'7b!})") << "日本!";
    QTest::newRow("destinations skipped, field result kept")
        << QByteArray(R"({\rtf1{\info{\title Geheim}}{\*\generator Word;}{\header Kopf\par}{\pict\pngblip 89504e})"
                      R"({\*\unbekannt X}Siehe {\field{\*\fldinst HYPERLINK "https://x.de"}{\fldrslt Webseite}}.})")
        << "Siehe Webseite.";
    QTest::newRow("deeply nested") << "{\\rtf1 " + QByteArray(Depth, '{') + "tief" + QByteArray(Depth, '}') + " oben}"
                                   << "tief oben";
    QTest::newRow("deeply nested, unbalanced") << "{\\rtf1 " + QByteArray(Depth, '{') + "tief"
                                               << "tief";
}

void TestRichTextProcessor::plainText()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);

    QCOMPARE(RTFReader::plainText(rtf, 1000), expected);
}

void TestRichTextProcessor::bundle()
{
    // A bundle is a folder that keeps its text in TXT.rtf, next to its pictures.
    QTemporaryDir dir;
    QVERIFY(!writeFile(dir.filePath("Notiz.rtfd/TXT.rtf"), R"({\rtf1\ansi Notiz f\'fcr Frau M\'fcller})").isEmpty());
    QVERIFY(!writeFile(dir.filePath("Notiz.rtfd/bild.png"), "\x89PNG").isEmpty());

    const ExtractionResult result = RichTextProcessor().extract(dir.filePath("Notiz.rtfd"));
    QVERIFY(result);
    QCOMPARE(result->extractedText, "Notiz für Frau Müller");
    QCOMPARE(result->metadata, MetadataMap({{"source", "rtf"}}));
}

QTEST_GUILESS_MAIN(TestRichTextProcessor)
#include "tst_richtextprocessor.moc"
