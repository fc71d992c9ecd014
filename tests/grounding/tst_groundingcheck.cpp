#include "extraction/filecontext.h"
#include "grounding/groundingcheck.h"
#include "grounding/namemarks.h"
#include "naming/namebuilder.h"
#include "naming/renamerules.h"
#include "settings/defaultsstore.h"

#include <QTest>

using namespace Grounding;

namespace {

const QDate Today(2025, 6, 30);

// "v:passage", "u:reason" or "n" for not checkable.
QString describe(const FieldCheck &check)
{
    return check.status == Status::verified     ? "v:" + check.passage
           : check.status == Status::unverified ? "u:" + check.reason
                                                : "n";
}

} // namespace

class TestGroundingCheck final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        date("iso", "2024-03-15", "Datum: 2024-03-15", "v:2024-03-15");
        date("german dotted", "2024-03-15", "Rechnungsdatum 15.03.2024, fällig", "v:15.03.2024");
        date("short dotted", "2024-03-15", "am 15.3.24 erhalten", "v:15.3.24");
        date("german month", "2024-03-15", "München, 15. März 2024", "v:15. März 2024");
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
        amount("german plain", "1234.56", "Summe: 1234,56 EUR", "v:1234,56");
        amount("english grouped", "1234.56", "Total $1,234.56", "v:1,234.56");
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
        sender("exact", "Telekom", "Ihre Telekom Rechnung", "v:Telekom");
        sender("case and spaces", "Stadtwerke München", "STADTWERKE\n   MÜNCHEN", "v:STADTWERKE\n   MÜNCHEN");
        sender("words without legal form", "Stadtwerke München GmbH", "STADTWERKE MÜNCHEN, Postfach", "v:STADTWERKE");
        sender("words apart", "Finanzamt Köln-Mitte", "Köln-Mitte ... Ihr Finanzamt", "v:Finanzamt");
        sender("full folding", "Hauptstraße Bau", "HAUPTSTRASSE BAU KG", "v:HAUPTSTRASSE BAU");
        sender("decomposed umlaut", "Müller", QString::fromUtf8("Herr Mu\xcc\x88ller"), "v:Müller");
        sender("invented", "Amazon", "Stadtwerke München", "u:Absender nicht im Dokument gefunden");
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
        const Report report = check(extraction, {}, text, Today);
        QCOMPARE(report.fields.size(), 1);
        QTEST(describe(report.fields.front()), "expected");
    }

    void categoryAndReport()
    {
        QCOMPARE(describe(checkCategory("Rechnung", {"rechnung", "brief"})), "v:rechnung");
        QCOMPARE(describe(checkCategory("urlaub", {"rechnung"})), "u:Kategorie nicht in der Liste: urlaub");

        AIExtraction extraction{"2024-03-15", "rechnung", "Strom", "Stadtwerke", "null", 0.9};
        const Report report = check(extraction, {"rechnung"}, u"Stadtwerke, 01.02.2024", Today);
        QCOMPARE(report.unverifiedFields(), QStringList{"datum"});
        QCOMPARE(report.fields.size(), 3); // "null" as betrag counts as absent

        // No text: nothing is flagged, not even the category.
        const Report blank = check(extraction, {}, u" \n", Today);
        QCOMPARE(blank.fields.size(), 3);
        QVERIFY(blank.unverified().isEmpty());
        QCOMPARE(fallbackReport().unverifiedFields(), QStringList{"name"});
    }

    void marksInTheName()
    {
        DefaultsStore store;
        const RenameRules rules(store);
        const AIExtraction extraction{"2024-03-15", "rechnung", "Strom März", "Stadtwerke", "12.50", 0.9};
        const QString name = NameBuilder::buildFileName(extraction, rules, "pdf");
        const FieldCheck datum{"datum", Status::unverified, "Datum nicht im Dokument gefunden"};
        const FieldCheck sender{"absender", Status::unverified, "Absender nicht im Dokument gefunden"};
        // The default format has no sender: only the date is marked, "2024-03-15_".
        QCOMPARE(nameMarks(name, extraction, {datum, sender}, rules, "pdf"), (QList<NameMark>{{0, 11, datum.reason}}));
        QVERIFY(nameMarks("von Hand.pdf", extraction, {datum}, rules, "pdf").isEmpty());
        const FieldCheck fallback = fallbackReport().fields.front();
        QCOMPARE(nameMarks("Sorry.txt", std::nullopt, {fallback}, rules, "txt"),
                 (QList<NameMark>{{0, 5, fallback.reason}}));
    }

    void checkedTextIsExcerptAndMetadata()
    {
        FileContext mail;
        mail.extractedText = QString(2100, 'x');
        mail.metadata.set("from", "Stadtwerke <info@sw.de>");
        QCOMPARE(checkedText(mail), QString(2000, 'x') + "\nfrom: Stadtwerke <info@sw.de>");
        FileContext media;
        media.extractedText = "Titel: Lied, Jahr: 2024-03-15";
        media.metadata.set("source", "avfoundation");
        QVERIFY(checkedText(media).isEmpty());
        FileContext empty;
        empty.metadata.set("source", "pdf");
        QVERIFY(checkedText(empty).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestGroundingCheck)
#include "tst_groundingcheck.moc"
