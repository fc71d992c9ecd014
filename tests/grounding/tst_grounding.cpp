// Grounding: each field checked against a text, and a labelled corpus (corpus.json): 64 invoices written as PDF with a
// text layer, DOCX, e-mail and HTML, German and English, with dates and amounts in the forms people write, run through
// the real engine against the LLM stub. The scripted model answers correctly for three quarters; for every fourth
// document its reply has the "wrong" field: a wrong date, a wrong amount or an invented sender. Measured per field: the
// share of wrong values flagged (recall) and of correct values flagged by mistake.
#include "enginefixture.h"
#include "extraction/filecontext.h"
#include "extractiontestkit.h"
#include "grounding/groundingcheck.h"
#include "grounding/namemarks.h"
#include "naming/namebuilder.h"

using namespace ExtractionTestKit;
using namespace Grounding;

namespace {

// The document's lines in the format its name gives; an e-mail has its first line, the sender, in
// the From header only, which reaches the model as metadata.
bool writeDocument(const QString &path, const QStringList &lines, bool german)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix == "pdf")
        return !writePdf(path, {{{lines}}}).isEmpty();
    QString body;
    for (const QString &line : lines)
        body +=
            QString(suffix == "docx" ? "<w:p><w:r><w:t>%1</w:t></w:r></w:p>" : "<p>%1</p>").arg(line.toHtmlEscaped());
    if (suffix == "docx") {
        const QByteArray xml = R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)"
                               "<w:body>" +
                               body.toUtf8() + "</w:body></w:document>";
        return !writeZip(path, {{"word/document.xml", xml}}).isEmpty();
    }
    const QString html = "<html><head><title>%1</title></head><body>%2</body></html>";
    const QString mail = "From: %1 <rechnung@example.com>\r\nTo: kunde@example.com\r\nSubject: %2\r\n"
                         "Content-Type: text/plain; charset=utf-8\r\n\r\n%3\r\n";
    const QString text = suffix == "html"
                             ? html.arg(german ? "Rechnung" : "Invoice", body)
                             : mail.arg(lines[0], german ? "Ihre Rechnung" : "Your invoice", lines.mid(1).join("\r\n"));
    return !writeFile(path, text.toUtf8()).isEmpty();
}

const QDate Today(2025, 6, 30);

// "v:passage", "u:reason" or "n" for not checkable.
QString describe(const FieldCheck &check)
{
    return check.status == Status::verified     ? "v:" + check.passage
           : check.status == Status::unverified ? "u:" + check.reason
                                                : "n";
}

} // namespace

class TestGrounding final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wrongFieldsAreFlaggedAndRightOnesAreNot()
    {
        QFile file(QFINDTESTDATA("corpus.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonArray corpus = QJsonDocument::fromJson(file.readAll()).array();
        QTemporaryDir dir;
        EngineFixture fixture;
        fixture.rules.setCategories({"rechnung", "vertrag", "brief", "beleg"});
        QList<QUrl> urls;
        for (const QJsonValue &d : corpus) {
            const QString name = d["file"].toString(), path = dir.filePath(name);
            QVERIFY(writeDocument(path, d["text"].toString().split('\n'), d["lang"] == "de"));
            fixture.llm.setReply(name, QJsonDocument(d["reply"].toObject()).toJson(QJsonDocument::Compact));
            urls << QUrl::fromLocalFile(path);
        }
        const std::unique_ptr<RenameEngine> engine = fixture.makeEngine();
        awaitTask(engine->analyze(urls, std::nullopt));
        QCOMPARE(engine->jobs().size(), corpus.size());

        // Per field: [wrong, wrong flagged, right, right flagged].
        QMap<QString, std::array<int, 4>> counts;
        for (qsizetype i = 0; i < corpus.size(); ++i) {
            const RenameJob &job = engine->jobs().at(i);
            QVERIFY2(job.explanation, qPrintable(job.originalName()));
            for (const Grounding::FieldCheck &check : job.explanation->report.fields) {
                const bool wrong = corpus[i]["wrong"] == check.field;
                const bool flagged = check.status != Grounding::Status::verified;
                std::array<int, 4> &c = counts[check.field];
                ++c[wrong ? 0 : 2];
                if (flagged)
                    ++c[wrong ? 1 : 3];
                if (flagged != wrong)
                    qWarning("%s %s: %s (%s)", qPrintable(job.originalName()), qPrintable(check.field),
                             flagged ? "wrongly flagged" : "missed", qPrintable(check.reason));
            }
        }
        QCOMPARE(counts.keys(), (QStringList{"absender", "betrag", "datum", "kategorie"}));
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            const auto &[wrong, caught, right, falseFlags] = it.value();
            qInfo("%-9s wrong %2d, flagged %2d (recall %5.1f %%); right %2d, flagged %d (%4.1f %%)",
                  qPrintable(it.key()), wrong, caught, wrong ? 100.0 * caught / wrong : 100.0, right, falseFlags,
                  100.0 * falseFlags / right);
            QCOMPARE(caught, wrong);
            QVERIFY2(falseFlags * 50 <= right, qPrintable(it.key()));
        }
        QCOMPARE(counts["datum"][0] + counts["betrag"][0] + counts["absender"][0], 16);
    }
    // One field of an extraction checked against the text; check() normalises the text to NFC first.
    void fields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const auto rows = [](const QString &field) {
            return [field](const char *name, const QString &value, const QString &text, const QString &expected) {
                QTest::addRow("%s: %s", qPrintable(field), name) << field << value << text << expected;
            };
        };
        const auto date = rows("datum");
        date("short dotted", "2024-03-15", "am 15.3.24 erhalten", "v:15.3.24");
        date("german month upper case", "2024-03-15", "15. MÄRZ 2024", "v:15. MÄRZ 2024");
        date("german abbreviation", "2024-12-01", "1. Dez. 2024", "v:1. Dez. 2024");
        date("english abbreviation", "2024-03-15", "Date: 15 Mar 2024", "v:15 Mar 2024");
        date("english month first", "2024-03-15", "Issued March 15, 2024.", "v:March 15, 2024");
        date("english ordinal", "2024-05-02", "May 2nd, 2024", "v:May 2nd, 2024");
        date("day first slash", "2024-03-15", "15/03/2024", "v:15/03/2024");
        date("month first slash", "2024-03-15", "03/15/2024", "v:03/15/2024");
        date("ambiguous slash is no evidence", "2024-04-03", "03/04/2024", "u:Datum nicht im Dokument gefunden");
        date("model writes german form", "15.03.2024", "2024-03-15", "v:2024-03-15");
        date("other date only", "2024-03-16", "15.03.2024", "u:Datum nicht im Dokument gefunden");
        date("digits inside a longer number", "2024-03-15", "Kunde 115.03.20245", "u:Datum nicht im Dokument gefunden");
        date("month name inside a word", "2024-03-15", "15 Marmelade 2024", "u:Datum nicht im Dokument gefunden");
        date("future", "2026-01-01", "01.01.2026", "u:Datum liegt in der Zukunft");
        date("before 1970", "1969-07-20", "20.07.1969", "u:Datum vor 1970 ist unplausibel");
        date("unreadable", "irgendwann", "15.03.2024", "u:Datum nicht lesbar: irgendwann");
        const auto amount = rows("betrag");
        amount("german grouped", "1234.56", "Summe 1.234,56 €", "v:1.234,56");
        amount("english plain", "1234.56", "Total 1234.56", "v:1234.56");
        amount("model writes german", "1.234,56 €", "Total 1,234.56 USD", "v:1,234.56");
        amount("one decimal", "12.5", "Betrag 12,50 €", "v:12,50");
        amount("whole number beside sign", "49.00", "Preis: 49 €", "v:49");
        amount("whole number beside code", "49", "EUR 49", "v:49");
        amount("whole number alone is no amount", "15.00", "am 15. des Monats", "u:Betrag nicht im Dokument gefunden");
        amount("part of a date is no amount", "15.03", "Datum 15.03.2024", "u:Betrag nicht im Dokument gefunden");
        amount("other amount", "49.99", "Summe 49,98 €", "u:Betrag nicht im Dokument gefunden");
        amount("thousands not decimals", "1.234", "1.234 €", "v:1.234");
        amount("unreadable", "viel", "49,99", "u:Betrag nicht lesbar: viel");
        const auto sender = rows("absender");
        sender("case and spaces", "Stadtwerke München", "STADTWERKE\n   MÜNCHEN", "v:STADTWERKE\n   MÜNCHEN");
        sender("words without legal form", "Stadtwerke München GmbH", "STADTWERKE MÜNCHEN, Postfach", "v:STADTWERKE");
        sender("words apart", "Finanzamt Köln-Mitte", "Köln-Mitte ... Ihr Finanzamt", "v:Finanzamt");
        sender("full folding", "Hauptstraße Bau", "HAUPTSTRASSE BAU KG", "v:HAUPTSTRASSE BAU");
        sender("decomposed umlaut", "Müller", QString::fromUtf8("Herr Mu\xcc\x88ller"), "v:Müller");
        sender("umlaut spelled out in the text", "Müller Bäder", "MUELLER BAEDER", "v:MUELLER BAEDER");
        sender("one word missing", "Stadtwerke Berlin", "Stadtwerke München", "u:Absender nicht im Dokument gefunden");
        sender("inside a longer word only", "Bank", "Bankverbindung: IBAN", "u:Absender nicht im Dokument gefunden");
        sender("short name", "O2", "Ihr O2 Vertrag", "v:O2");
    }

    void fields()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, text);
        AIExtraction extraction{std::nullopt, std::nullopt, "x", std::nullopt, std::nullopt, 0.9};
        (field == "datum" ? extraction.datum : field == "betrag" ? extraction.betrag : extraction.absender) = value;
        const Report report = check(extraction, {}, {text}, Today);
        QCOMPARE(report.fields.size(), 1);
        QTEST(describe(report.fields.front()), "expected");
    }

    void categoryAndReport()
    {
        QCOMPARE(describe(checkCategory("Rechnung", {"rechnung", "brief"})), "v:rechnung");
        QCOMPARE(describe(checkCategory("urlaub", {"rechnung"})), "u:Kategorie nicht in der Liste: urlaub");

        AIExtraction extraction{"2024-03-15", "rechnung", "Strom", "Stadtwerke", "null", 0.9};
        const Report report = check(extraction, {"rechnung"}, {"Stadtwerke, 01.02.2024"}, Today);
        QCOMPARE(report.unverifiedFields(), QStringList{"datum"});
        QCOMPARE(report.fields.size(), 3); // "null" as betrag counts as absent
    }

    // A file without text of its own has its capture date (EXIF, XMP, a recording's tags) as evidence;
    // without that a date or amount cannot be backed, and sender and category are not checkable.
    void filesWithoutText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<MetadataMap>("metadata");
        QTest::addColumn<QString>("expected"); // datum | betrag | kategorie
        const auto row = [](const char *name, const QString &text, const MetadataMap &metadata, const QString &date) {
            QTest::newRow(name) << text << metadata
                                << date + " | u:Betrag nicht prüfbar: die Datei hat keinen Text | n";
        };
        const MetadataMap photo{{"date", "2024:03:15 14:22:05"}, {"camera_make", "Canon"}};
        const QString nothing = "u:Datum nicht prüfbar: die Datei hat weder Text noch Aufnahmedatum";
        row("photo taken another day", "", {{"date", "2023:07:01 09:00:00"}},
            "u:Datum weicht vom Aufnahmedatum ab (01.07.2023)");
        row("neither text nor capture date", " \n", {{"dimensions", "640x480"}}, nothing);
        row("video, creation time; its summary is no text", "date: 2024-03-16\nbetrag: 12,50 €",
            {{"source", "avfoundation"}, {"date", "2024-03-15T14:22:05.000000Z"}}, "v:2024-03-15T14:22:05.000000Z");
        row("song with a year only", "date: 2024", {{"source", "avfoundation"}, {"date", "2024"}}, nothing);
        QTest::newRow("receipt photographed: text and capture date")
            << "Quittung 12,50 €" << photo << "v:2024:03:15 14:22:05 | v:12,50 | v:brief";
    }
    void filesWithoutText()
    {
        FileContext file;
        QFETCH(QString, text);
        QFETCH(MetadataMap, metadata);
        file.extractedText = text;
        file.metadata = metadata;
        const AIExtraction extraction{"2024-03-15", "brief", "Foto", std::nullopt, "12.50", 0.9};
        QStringList checks;
        for (const FieldCheck &check : check(extraction, {"brief"}, evidence(file), Today).fields)
            checks << describe(check);
        QTEST(checks.join(" | "), "expected");
    }

    void marksInTheName()
    {
        DefaultsStore store;
        const RenameRules rules(store);
        const AIExtraction extraction{"2024-03-15", "rechnung", "Strom März", "Stadtwerke", "12.50", 0.9};
        const QString name = NameBuilder::buildFileName(extraction, rules, "pdf");
        const FieldCheck datum{"datum", Status::unverified, "Datum nicht im Dokument gefunden", {}};
        const FieldCheck sender{"absender", Status::unverified, "Absender nicht im Dokument gefunden", {}};
        const Report report{{datum, sender}};
        // The default format has no sender: only the date is marked, "2024-03-15_".
        QCOMPARE(nameMarks(fieldSpans(name, extraction, report, rules, "pdf"), {datum, sender}),
                 (QList<NameMark>{{0, 11, datum.reason}}));
        QVERIFY(fieldSpans("von Hand.pdf", extraction, report, rules, "pdf").isEmpty());
        const FieldCheck fallback = fallbackReport().fields.front();
        Explanation sorry;
        sorry.report = fallbackReport();
        sorry.builtName = "Sorry.txt";
        sorry.spans = fieldSpans(sorry.builtName, std::nullopt, sorry.report, rules, "txt");
        QCOMPARE(nameMarks(sorry.spans, {fallback}), (QList<NameMark>{{0, 5, fallback.reason}}));
        // A fallback name the user replaced is theirs.
        QVERIFY(edited(sorry, "notiz.txt", DateFormatStyle::iso, Today).report.fields.isEmpty());
    }

    // The user's edits, one after another ("|"), each checked by what now stands where a field stood.
    void editedNames_data()
    {
        QTest::addColumn<QString>("dateFormat");
        QTest::addColumn<QString>("edits");
        QTest::addColumn<QString>("expected"); // unverified field@marked text
        const auto row = [](const char *name, const char *edits, const char *expected,
                            const char *format = "YYYY-MM-DD") {
            QTest::newRow(name) << QString(format) << QString(edits) << QString(expected);
        };
        row("another date of the document, in its form", "09.01.2024_rechnung_strom_12.50.pdf", "");
        row("taken out, another typed in", "rechnung_strom_12.50.pdf|2024-01-10_rechnung_strom_12.50.pdf",
            "datum@2024-01-10_");
        row("name rewritten in words", "Mein Name.pdf", "");
        row("other words changed", "2024-04-01_rechnung_wasser_12.50.pdf", "datum@2024-04-01_");
        row("amount nowhere", "2024-03-15_rechnung_strom_99.50.pdf", "betrag@_99.50");
        row("rules write 20240401", "20240315_rechnung_strom_12.50.pdf", "", "YYYYMMDD");
        row("rules write 04-01-2024", "03-16-2024_rechnung_strom_12.50.pdf", "datum@03-16-2024_", "MM-DD-YYYY");
    }
    void editedNames()
    {
        QFETCH(QString, dateFormat);
        QFETCH(QString, edits);
        DefaultsStore store;
        RenameRules rules(store);
        rules.setFormat("{datum}_{kategorie}_{beschreibung}_{betrag}");
        rules.setDateFormat(*enumFromRaw<DateFormatStyle>(dateFormat));
        Explanation explanation;
        explanation.extraction = AIExtraction{"2024-04-01", "rechnung", "Strom", "Stadtwerke", "12.50", 0.9};
        explanation.evidence.text = "Stadtwerke\nRechnung vom 15.03.2024, Abschlag 09.01.2024\nSumme 12,50 €";
        explanation.report = check(*explanation.extraction, {"rechnung"}, explanation.evidence, Today);
        explanation.builtName = NameBuilder::buildFileName(*explanation.extraction, rules, "pdf");
        explanation.spans = fieldSpans(explanation.builtName, explanation.extraction, explanation.report, rules, "pdf");
        for (const QString &name : edits.split('|'))
            explanation = edited(explanation, name, rules.dateFormat(), Today);
        QStringList marked;
        for (const FieldCheck &check : explanation.report.unverified()) {
            const auto mark = std::ranges::find(explanation.marks, check.reason, &NameMark::reason);
            marked << check.field + "@" + explanation.builtName.mid(mark->start, mark->length);
        }
        QTEST(marked.join(' '), "expected");
    }

    void evidenceIsExcerptAndMetadata()
    {
        FileContext mail;
        mail.extractedText = QString(2100, 'x');
        mail.metadata.set("from", "Stadtwerke <info@sw.de>");
        mail.metadata.set("date", "Fri, 15 Mar 2024 10:00:00 +0100");
        const Evidence found = evidence(mail);
        QCOMPARE(found.text,
                 QString(2000, 'x') + "\nfrom: Stadtwerke <info@sw.de>, date: Fri, 15 Mar 2024 10:00:00 +0100");
        QVERIFY(!found.captureDate); // a message's date is checked in its text
    }
};

QTEST_MAIN(TestGrounding)
#include "tst_grounding.moc"
