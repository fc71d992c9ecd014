#include "common/unicodetext.h"
#include "extraction/documents/emailprocessor.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestEmailProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void headersAndBody_data();
    void headersAndBody();
    void bodyStopsAfterLimit();
    void notUtf8();

private:
    ExtractionResult extract(const QByteArray &content);

    QTemporaryDir m_dir;
    const EmailProcessor m_processor;
    int m_files = 0;
};

ExtractionResult TestEmailProcessor::extract(const QByteArray &content)
{
    const QString path = m_dir.filePath(QString("nachricht%1.eml").arg(++m_files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(content);
    file.close();
    return m_processor.extract(path);
}

void TestEmailProcessor::headersAndBody_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<MetadataMap>("metadata");
    QTest::addColumn<QString>("body");

    const QByteArray headers = "Return-Path: <a@x.de>\nFrom: Anna <a@x.de>\nTo: buchhaltung@y.de\n"
                               "SUBJECT:   Ihre Rechnung\t\nX-Mailer: Post 1.0\nDate: Fri, 15 Mar 2024 10:00:00 +0100\n";
    const MetadataMap expected{{"source", "eml"},
                               {"from", "Anna <a@x.de>"},
                               {"to", "buchhaltung@y.de"},
                               {"subject", "Ihre Rechnung"},
                               {"date", "Fri, 15 Mar 2024 10:00:00 +0100"}};
    const QByteArray body = "Hallo,\n\nanbei die Rechnung.\n";
    QByteArray crlf = headers + "\n" + body;
    crlf.replace("\n", "\r\n");

    QTest::newRow("LF") << headers + "\n" + body << expected << "Hallo,\n\nanbei die Rechnung.";
    QTest::newRow("CRLF") << crlf << expected << "Hallo,\n\nanbei die Rechnung.";
    // Only the first CR LF blank line separates; "\n\n" is the fallback when there is none.
    QTest::newRow("CRLF separator wins") << QByteArray("Subject: a\n\nTo: b\r\n\r\nText")
                                         << MetadataMap{{"source", "eml"}, {"subject", "a"}, {"to", "b"}} << "Text";
    QTest::newRow("header only") << QByteArray("Subject: Nur Kopf")
                                 << MetadataMap{{"source", "eml"}, {"subject", "Nur Kopf"}} << "";
    QTest::newRow("later header replaces, empty and odd lines skipped")
        << QByteArray("Subject: alt\nSubject:\n:kein Schlüssel\nfolded line\nSubject: neu\n\nx")
        << MetadataMap{{"source", "eml"}, {"subject", "neu"}} << "x";
    QTest::newRow("value keeps later colons") << QByteArray("Date: 10:30\n\n")
                                              << MetadataMap{{"source", "eml"}, {"date", "10:30"}} << "";
    QTest::newRow("encoded words stay") << QByteArray("Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=\n\n")
                                        << MetadataMap{{"source", "eml"}, {"subject", "=?UTF-8?Q?Gr=C3=BC=C3=9Fe?="}}
                                        << "";

    const QByteArray mime = "Content-Type: multipart/mixed; boundary=\"b1\"\n\n--b1\nContent-Type: text/plain\n"
                            "Content-Transfer-Encoding: 8bit\n\nText der Mail\n--b1--\n";
    QTest::newRow("boundaries and Content- lines") << mime << MetadataMap{{"source", "eml"}}
                                                   << "Text der Mail";
    QTest::newRow("80-character encoded lines dropped")
        << "Subject: Anhang\n\nSiehe Anhang\n" + (QByteArray(80, 'Q') + "\n").repeated(3)
        << MetadataMap{{"source", "eml"}, {"subject", "Anhang"}} << "Siehe Anhang";
    QTest::newRow("76-character encoded lines kept")
        << "Subject: Anhang\n\nSiehe Anhang\n" + (QByteArray(76, 'Q') + "\n").repeated(2)
        << MetadataMap{{"source", "eml"}, {"subject", "Anhang"}}
        << "Siehe Anhang\n" + QString(76, 'Q') + "\n" + QString(76, 'Q');
    QTest::newRow("77 characters with a space kept") << "\n\n" + QByteArray(70, 'w') + " " + QByteArray(6, 'w')
                                                     << MetadataMap{{"source", "eml"}}
                                                     << QString(70, 'w') + " " + QString(6, 'w');
}

void TestEmailProcessor::headersAndBody()
{
    QFETCH(QByteArray, message);
    QFETCH(MetadataMap, metadata);
    QFETCH(QString, body);

    const ExtractionResult result = extract(message);
    QVERIFY(result);
    QCOMPARE(result->metadata, metadata);
    QCOMPARE(result->extractedText, formatMetadata(metadata).join('\n') + "\n\n" + body);
}

void TestEmailProcessor::bodyStopsAfterLimit()
{
    // 31 characters per line with its line feed: the 65th line crosses 2000 and is the last one.
    QByteArray message = "Subject: " + QByteArray(5000, 'S') + "\n\n";
    for (int i = 1; i <= 200; ++i)
        message += "Zeile " + QByteArray::number(i).rightJustified(3, '0') + " " + QByteArray(20, '.') + "\n";

    const ExtractionResult result = extract(message);
    QVERIFY(result);
    QCOMPARE(UnicodeText::graphemeCount(result->extractedText), TextLimits::Document);

    const ExtractionResult bodyOnly = extract(message.mid(message.indexOf("\n\n")));
    QVERIFY(bodyOnly);
    QVERIFY(bodyOnly->extractedText.contains("Zeile 065"));
    QVERIFY(!bodyOnly->extractedText.contains("Zeile 066"));
    QVERIFY(bodyOnly->extractedText.endsWith("Zeile 065 " + QString(20, '.')));
}

void TestEmailProcessor::notUtf8()
{
    const ExtractionResult result = extract("Subject: Gr\xfc\xdf""e\n\nText");
    QVERIFY(result);
    QCOMPARE(result->extractedText, QString());
    QVERIFY(result->metadata.isEmpty());
}

QTEST_GUILESS_MAIN(TestEmailProcessor)
#include "tst_emailprocessor.moc"
