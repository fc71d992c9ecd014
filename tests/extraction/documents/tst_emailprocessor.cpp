#include "extraction/documents/emailprocessor.h"
#include "extractiontestkit.h"

using namespace ExtractionTestKit;

namespace {

// A message as mail programs write it: CRLF line ends, a MIME header block, then `body`.
QByteArray mail(const QByteArray &headers, const QByteArray &body)
{
    QByteArray message = "Return-Path: <a@x.de>\nMessage-ID: <1@x.de>\nMIME-Version: 1.0\n" + headers + "\n\n" + body;
    return message.replace("\n", "\r\n");
}

QByteArray base64Lines(const QByteArray &bytes)
{
    const QByteArray encoded = bytes.toBase64();
    QByteArray lines;
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        lines += encoded.mid(i, 76) + "\n";
    return lines;
}

} // namespace

class TestEmailProcessor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headersAndBody_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<MetadataMap>("metadata");
        QTest::addColumn<QString>("body");
        const auto row = [](const char *name, const QByteArray &message, const MetadataMap &metadata,
                            const QString &body, const QString &fileName = "a.eml") {
            QTest::newRow(name) << fileName << message << metadata << body;
        };

        const QByteArray plain = "From: Anna <a@x.de>\nTo: buchhaltung@y.de\nSUBJECT:   Ihre Rechnung\t\n"
                                 "X-Mailer: Post 1.0\nDate: Fri, 15 Mar 2024 10:00:00 +0100";
        const MetadataMap headers{{"source", "eml"},
                                  {"subject", "Ihre Rechnung"},
                                  {"from", "Anna <a@x.de>"},
                                  {"to", "buchhaltung@y.de"},
                                  {"date", "Fri, 15 Mar 2024 10:00:00 +0100"}};
        const MetadataMap subject{{"source", "eml"}, {"subject", "Anhang"}};
        row("LF, no MIME", QByteArray(plain + "\n\nHallo,\n\nanbei die Rechnung.\n"), headers,
            "Hallo,\n\nanbei die Rechnung.");

        const QString text = QStringLiteral("Grüße aus München,\nIhre Rechnung über 49,99 € ist fällig.");
        row("quoted-printable UTF-8, soft line break",
            mail("Subject: Anhang\nContent-Type: text/plain; charset=utf-8\n"
                 "Content-Transfer-Encoding: quoted-printable",
                 "Gr=C3=BC=C3=9Fe aus M=C3=BCnchen,\nIhre Rechnung =C3=BCber 49,99 =E2=82=AC ist f=\n=C3=A4llig.\n"),
            subject, text);
        row("format=flowed paragraphs rejoined, quotes and signature kept apart",
            mail("Subject: Anhang\nContent-Type: text/plain; charset=utf-8; format=flowed; delsp=yes",
                 QStringLiteral("Bitte überweisen Sie den Betrag bis zum  \n9.11.2024.\n>> alte  \n>> Frage\n\n"
                                "-- \nKrüger GmbH\n")
                     .toUtf8()),
            subject,
            QStringLiteral("Bitte überweisen Sie den Betrag bis zum 9.11.2024.\n\n>> alte Frage\n\n-- \nKrüger GmbH"));
        row("Latin-1 undeclared, in header and body",
            QByteArray("Subject: Gr\xfc\xdf"
                       "e\n\nM\xfcnchen\n"),
            MetadataMap{{"source", "eml"}, {"subject", QStringLiteral("Grüße")}}, QStringLiteral("München"));

        row("encoded subject and sender name, From folded over two lines",
            mail("From: =?UTF-8?Q?J=C3=BCrgen_M=C3=BCller?=\n <j.mueller@stadtwerke.de>\n"
                 "Subject: =?UTF-8?Q?Rechnung_M=C3=A4rz?=\nTo: =?iso-8859-1?B?Suxyb21l?= <k@y.de>",
                 "Text\n"),
            MetadataMap{{"source", "eml"},
                        {"subject", QStringLiteral("Rechnung März")},
                        {"from", QStringLiteral("Jürgen Müller <j.mueller@stadtwerke.de>")},
                        {"to", QStringLiteral("Jìrome <k@y.de>")}},
            "Text");

        const QByteArray html = "<html><head><title>Newsletter</title><style>p{color:red}</style></head>"
                                "<body><p>Sehr geehrte Frau Berg,</p><p>Ihre Rechnung Nr.&nbsp;4711 "
                                "=C3=BCber 49,99&nbsp;&euro;.</p></body></html>\n";
        row("HTML only, quoted-printable",
            mail("Subject: Anhang\nContent-Type: text/html; charset=utf-8\nContent-Transfer-Encoding: "
                 "quoted-printable",
                 html),
            subject, QStringLiteral("Sehr geehrte Frau Berg,\nIhre Rechnung Nr.\u00A04711 über 49,99\u00A0€."));
        row("multipart/alternative: the plain part",
            mail("Subject: Anhang\nContent-Type: multipart/alternative; boundary=\"b1\"",
                 "--b1\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\n"
                 "Ihre Rechnung =C3=BCber 49,99 EUR.\n--b1\nContent-Type: text/html; charset=utf-8\n"
                 "Content-Transfer-Encoding: quoted-printable\n\n" +
                     html + "--b1--\n"),
            subject, QStringLiteral("Ihre Rechnung über 49,99 EUR."));
        row("multipart/alternative, blank plain part: the HTML",
            mail("Subject: Anhang\nContent-Type: multipart/alternative; boundary=b1",
                 "--b1\nContent-Type: text/plain\n\n \n--b1\nContent-Type: text/html; charset=utf-8\n"
                 "Content-Transfer-Encoding: quoted-printable\n\n" +
                     html + "--b1--\n"),
            subject, QStringLiteral("Sehr geehrte Frau Berg,\nIhre Rechnung Nr.\u00A04711 über 49,99\u00A0€."));

        // A program as an attachment, a text file as an attachment: named, never read.
        const QByteArray mixed =
            "--=_aussen\nContent-Type: multipart/alternative; boundary=innen\n\n"
            "--innen\nContent-Type: text/plain; charset=utf-8\n\nHallo Anna,\n\nanbei die Rechnung.\n--innen--\n\n"
            "--=_aussen\nContent-Type: application/pdf; name=\"=?UTF-8?Q?Rechnung_M=C3=A4rz.pdf?=\"\n"
            "Content-Disposition: attachment; filename*=UTF-8''Rechnung%20M%C3%A4rz.pdf\n"
            "Content-Transfer-Encoding: base64\n\n" +
            base64Lines(randomBytes(300, 14)) +
            "\n--=_aussen\nContent-Type: text/plain; name=\"notiz.txt\"\nContent-Disposition: attachment;\n"
            " filename=\"notiz.txt\"\nContent-Transfer-Encoding: quoted-printable\n\n"
            "Geheime Notiz =C3=BCber den Anhang.\n--=_aussen--\n";
        row("attachments listed by name and type, not read",
            mail("Subject: Anhang\nContent-Type: multipart/mixed;\n\tboundary=\"=_aussen\"", mixed),
            MetadataMap{{"source", "eml"},
                        {"subject", "Anhang"},
                        {"attachments", QStringLiteral("Rechnung März.pdf (application/pdf), notiz.txt (text/plain)")}},
            "Hallo Anna,\n\nanbei die Rechnung.");
        row("HTML mail's pictures are not attachments",
            mail("Subject: Anhang\nContent-Type: multipart/related; boundary=r",
                 "--r\nContent-Type: text/html; charset=utf-8\n\n<p>Ihr Vertrag</p>\n--r\n"
                 "Content-Type: image/png; name=image001.png\nContent-ID: <logo>\n"
                 "Content-Transfer-Encoding: base64\n\niVBORw0KGgo=\n--r--\n"),
            subject, "Ihr Vertrag");

        row("reply: new text first, quote and signature after it",
            mail("Subject: Anhang\nContent-Type: text/plain; charset=utf-8",
                 "Am 12.03.2024 um 10:15 schrieb Anna Berg <a@x.de>:\n> Wann kommt die Rechnung?\n>\n"
                 "> Gruß Anna\n\nDie Rechnung kommt morgen.\n\n-- \nBernd Krüger\nKrüger GmbH\n"),
            subject,
            QStringLiteral("Die Rechnung kommt morgen.\n\nAm 12.03.2024 um 10:15 schrieb Anna Berg <a@x.de>:\n"
                           "> Wann kommt die Rechnung?\n>\n> Gruß Anna\n\n-- \nBernd Krüger\nKrüger GmbH"));
        row("reply above an Outlook original",
            mail("Subject: AW: Termin\nContent-Type: text/plain; charset=utf-8",
                 "Passt, bis Dienstag.\n\n________________________________\nVon: Anna Berg <a@x.de>\n"
                 "Gesendet: Montag, 11. März 2024 09:00\nBetreff: Termin\n\nGeht Dienstag?\n"),
            MetadataMap{{"source", "eml"}, {"subject", "AW: Termin"}},
            QStringLiteral("Passt, bis Dienstag.\n\n________________________________\nVon: Anna Berg <a@x.de>\n"
                           "Gesendet: Montag, 11. März 2024 09:00\nBetreff: Termin\n\nGeht Dienstag?"));
        row("forwarded mail stays in place",
            mail("Subject: WG: Rechnung\nContent-Type: text/plain; charset=utf-8",
                 "Zur Info.\n\n-------- Weitergeleitete Nachricht --------\nVon: Stadtwerke <s@sw.de>\n"
                 "Datum: 01.03.2024\nBetreff: Rechnung\n\nIhre Rechnung über 80,00 EUR.\n"),
            MetadataMap{{"source", "eml"}, {"subject", "WG: Rechnung"}},
            QStringLiteral("Zur Info.\n\n-------- Weitergeleitete Nachricht --------\nVon: Stadtwerke <s@sw.de>\n"
                           "Datum: 01.03.2024\nBetreff: Rechnung\n\nIhre Rechnung über 80,00 EUR."));
        row("forwarded as an inline message",
            mail("Subject: Fwd: Rechnung\nContent-Type: multipart/mixed; boundary=m",
                 "--m\nContent-Type: text/plain\n\nSiehe unten.\n--m\nContent-Type: message/rfc822\n\n"
                 "From: Stadtwerke <s@sw.de>\nSubject: =?UTF-8?Q?Rechnung_M=C3=A4rz?=\n"
                 "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n" +
                     base64Lines(QStringLiteral("Betrag: 80,00 €").toUtf8()) + "--m--\n"),
            MetadataMap{{"source", "eml"}, {"subject", "Fwd: Rechnung"}},
            QStringLiteral("Siehe unten.\n\nsubject: Rechnung März\n\nBetrag: 80,00 €"));

        row("single-message mbox",
            QByteArray("From a@x.de Fri Mar 15 10:00:00 2024\nFrom: Anna <a@x.de>\nSubject: Anhang\n\n"
                       "Erste Nachricht.\n\nFrom b@y.de Sat Mar 16 10:00:00 2024\nFrom: Bernd <b@y.de>\n"
                       "Subject: Zweite\n\nZweite Nachricht.\n"),
            MetadataMap{{"source", "eml"}, {"subject", "Anhang"}, {"from", "Anna <a@x.de>"}}, "Erste Nachricht.",
            "postfach.mbox");
        row("empty file", QByteArray(), MetadataMap{{"source", "eml"}}, "");
    }

    void headersAndBody()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, message);
        QFETCH(MetadataMap, metadata);
        QFETCH(QString, body);
        QTemporaryDir dir;
        const ExtractionResult result = EmailProcessor().extract(writeFile(dir.filePath(fileName), message));
        QVERIFY(result);
        QCOMPARE(result->metadata, metadata);
        const QStringList headerLines = formatMetadata(metadata);
        QCOMPARE(result->extractedText, headerLines.isEmpty() ? body
                                        : body.isEmpty()      ? headerLines.join('\n')
                                                              : headerLines.join('\n') + "\n\n" + body);
        // Nothing of the encodings reaches the excerpt.
        for (const char *encoded : {"=C3", "=?", "?=", "Content-", "base64", "&nbsp;", "&euro;", "iVBOR"})
            QVERIFY2(!result->extractedText.contains(QLatin1String(encoded), Qt::CaseInsensitive), encoded);
    }

    void unreadableGivesNothing()
    {
        const ExtractionResult result = EmailProcessor().extract(QStringLiteral("/nonexistent/a.eml"));
        QVERIFY(result);
        QVERIFY(result->extractedText.isEmpty());
        QVERIFY(result->metadata.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEmailProcessor)
#include "tst_emailprocessor.moc"
