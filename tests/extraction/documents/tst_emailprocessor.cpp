#include "extraction/documents/emailprocessor.h"
#include "extractiontestkit.h"

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
        // Base64 as encoders write it: 76-character lines, the last one shorter.
        const QByteArray program = randomBytes(300, 14).toBase64();
        QByteArray base64;
        for (qsizetype i = 0; i < program.size(); i += 76)
            base64 += program.mid(i, 76) + "\r\n";
        QTest::newRow("base64 lines dropped, a 40-letter line too, shorter words kept")
            << "Subject: Anhang\n\nSiehe Anhang\n" + QByteArray(base64).replace("\r\n", "\n") + "\n" +
                   QByteArray(40, 'Q') + "\nQQ==\nGruss\n"
            << subject << "Siehe Anhang\n\nGruss";
        const QByteArray mixed =
            "Subject: Anhang\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed;\r\n\tboundary=\"=_aussen\"\r\n\r\n"
            "--=_aussen\r\nContent-Type: multipart/alternative; boundary=innen\r\n\r\n"
            "--innen\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nHallo Anna,\r\n\r\nanbei die Rechnung.\r\n"
            "--innen--\r\n\r\n"
            "--=_aussen\r\nContent-Type: application/octet-stream; name=\"tool\"\r\n"
            "Content-Transfer-Encoding: base64\r\nX-Attachment-Id: f_1\r\n\r\n" +
            base64 +
            "\r\n"
            "--=_aussen\r\nContent-Type: text/plain; name=\"notiz.txt\"\r\nContent-Disposition: attachment;\r\n"
            " filename=\"notiz.txt\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
            "Geheime Notiz =C3=BCber den Anhang, mit einer weichen =\r\nZeilenfortsetzung.\r\n"
            "--=_aussen--\r\n";
        QTest::newRow("MIME: text part only, no base64 or quoted-printable attachment")
            << mixed << subject << "Hallo Anna,\n\nanbei die Rechnung.";
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
