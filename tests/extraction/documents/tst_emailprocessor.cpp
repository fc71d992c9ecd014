#include "extraction/documents/emailprocessor.h"
#include "extractiontestkit.h"

#include <QTemporaryDir>
#include <QTest>

using namespace ExtractionTestKit;

class TestEmailProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headersAndBody_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<MetadataMap>("metadata");
        QTest::addColumn<QString>("body");

        const QByteArray lf =
            "Return-Path: <a@x.de>\nFrom: Anna <a@x.de>\nTo: buchhaltung@y.de\nSUBJECT:   Ihre Rechnung\t\n"
            "X-Mailer: Post 1.0\nDate: Fri, 15 Mar 2024 10:00:00 +0100\n\nHallo,\n\nanbei die Rechnung.\n";
        const MetadataMap headers{{"source", "eml"},
                                  {"from", "Anna <a@x.de>"},
                                  {"to", "buchhaltung@y.de"},
                                  {"subject", "Ihre Rechnung"},
                                  {"date", "Fri, 15 Mar 2024 10:00:00 +0100"}};
        const MetadataMap subject{{"source", "eml"}, {"subject", "Anhang"}};
        QTest::newRow("LF") << lf << headers << "Hallo,\n\nanbei die Rechnung.";
        QTest::newRow("CRLF") << QByteArray(lf).replace("\n", "\r\n") << headers << "Hallo,\n\nanbei die Rechnung.";
        QTest::newRow("80-character encoded lines dropped")
            << "Subject: Anhang\n\nSiehe Anhang\n" + (QByteArray(80, 'Q') + "\n").repeated(3) << subject
            << "Siehe Anhang";
        QTest::newRow("76-character encoded lines kept")
            << "Subject: Anhang\n\nSiehe Anhang\n" + (QByteArray(76, 'Q') + "\n").repeated(2) << subject
            << "Siehe Anhang\n" + QString(76, 'Q') + "\n" + QString(76, 'Q');
        QTest::newRow("not UTF-8") << QByteArray("Subject: Gr\xfc\xdf"
                                                 "e\n\nText")
                                   << MetadataMap() << "";
    }

    void headersAndBody()
    {
        QFETCH(QByteArray, message);
        QFETCH(MetadataMap, metadata);
        QFETCH(QString, body);
        QTemporaryDir dir;
        const ExtractionResult result = EmailProcessor().extract(writeFile(dir.filePath("nachricht.eml"), message));
        QVERIFY(result);
        QCOMPARE(result->metadata, metadata);
        QCOMPARE(result->extractedText,
                 metadata.isEmpty() ? body : formatMetadata(metadata).join('\n') + "\n\n" + body);
    }
};

QTEST_GUILESS_MAIN(TestEmailProcessor)
#include "tst_emailprocessor.moc"
