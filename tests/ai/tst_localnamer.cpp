// The on-device namer: one row per phrasing, distractor and language of each field, on file contexts
// built as the processors build them (a PDF's text, a mail's header lines above its body, a
// picture's EXIF entries, a recording's tag summary).
#include "ai/local/localnamer.h"
#include "extraction/filecontext.h"

#include <QTest>

namespace {

const QStringList Defaults{"rechnung", "vertrag", "brief", "foto", "beleg", "angebot", "protokoll", "sonstiges"};

FileContext document(const QString &text, const QString &extension = "pdf", const MetadataMap &metadata = {})
{
    FileContext context;
    context.fileName = "scan." + extension;
    context.fileExtension = extension;
    context.extractedText = text;
    context.metadata = metadata;
    return context;
}

/** A mail as the mail processor gives it: the header lines, an empty line, the body. */
FileContext mail(const QString &from, const QString &subject, const QString &date, const QString &body)
{
    MetadataMap metadata{{MetadataMap::SourceKey, "eml"}};
    metadata.set("from", from);
    metadata.set("to", "Max Mustermann <max@example.org>");
    metadata.set("subject", subject);
    metadata.set("date", date);
    return document(formatMetadata(metadata).join('\n') + "\n\n" + body, "eml", metadata);
}

/** A row of the tables whose columns are the text and the expected value. */
void row(const char *name, const QString &text, const QString &expected)
{
    QTest::newRow(name) << text << expected;
}

QString value(const std::optional<QString> &field)
{
    return field.value_or(QString());
}

// A letter as a DIN window envelope shows it: the return address above the recipient.
const QString Letter = "Muster Energie GmbH · Hauptstraße 1 · 80331 München\n"
                       "Herrn\nMax Mustermann\nMusterweg 5\n10115 Berlin\n\nRechnung Nr. RE-2024-0815\n"
                       "Kundennummer: 4711\nRechnungsdatum: 15.03.2024\nLieferdatum: 10.03.2024\n\n"
                       "Sehr geehrter Herr Mustermann,\nwir berechnen Ihnen:\n"
                       "Strom März 2024  100,00 €\nNettobetrag 100,00 €\nMwSt 19 % 19,00 €\n"
                       "Gesamtbetrag 119,00 €\nZahlbar bis 29.03.2024 ohne Abzug.\n\n"
                       "Mit freundlichen Grüßen\nMuster Energie GmbH\n\n"
                       "Muster Energie GmbH · Geschäftsführer: Hans Muster · HRB 12345 · USt-IdNr.: DE123456789\n"
                       "Tel. 089 1234-567 · rechnung@muster-energie.de · www.muster-energie.de\n"
                       "Bankverbindung: Stadtsparkasse München · IBAN DE89 3704 0044 0532 0130 00 · BIC COBADEFFXXX";

} // namespace

class TestLocalNamer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void date_data();
    void date();
    void amount_data();
    void amount();
    void sender_data();
    void sender();
    void category_data();
    void category();
    void description_data();
    void description();
    void identifiers_data();
    void identifiers();
    void learned_data();
    void learned();
    void eInvoiceWins_data();
    void eInvoiceWins();
    void mediaWithoutText_data();
    void mediaWithoutText();
    void sureness_data();
    void sureness();
};

void TestLocalNamer::date_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    row("invoice date after delivery date", Letter, "2024-03-15");
    row("delivery date first, invoice date on the same line",
        "Rechnung\nLieferdatum: 01.02.2024   Rechnungsdatum: 05.02.2024", "2024-02-05");
    row("due date before the date", "Rechnung\nFällig am 30.04.2024\nDatum: 02.04.2024", "2024-04-02");
    row("customer since", "Kunde seit 01.01.2010\nDatum 15.03.2024", "2024-03-15");
    row("birth date", "Geburtsdatum: 01.05.1980\nBescheid vom 12.06.2024", "2024-06-12");
    row("letter date line beside a letter referred to",
        "Ihr Schreiben vom 01.03.2024\n\nMünchen, 15.03.2024\n\nSehr geehrte Damen und Herren,", "2024-03-15");
    row("letter date line with den", "Berlin, den 3. April 2024\nSehr geehrte Frau Meier,", "2024-04-03");
    row("English, due date after", "INVOICE\nInvoice date: March 15, 2024\nDue date: April 14, 2024", "2024-03-15");
    row("service period", "Leistungszeitraum: 01.03.2024 - 31.03.2024\nRechnungsdatum: 05.04.2024", "2024-04-05");
    row("label on the line above", "Rechnungsnummer   Rechnungsdatum   Kundennummer\nRE-17   15.03.2024   4711",
        "2024-03-15");
    row("printed footer date",
        "Muster GmbH\n15.02.2024\nVertrag\n" + QString("Text\n").repeated(12) + "Druckdatum 20.03.2024", "2024-02-15");
    row("label column over its values, the address block between",
        "Muster GmbH\nPersonalnummer\nEintritt\nDatum\nFrau\nErika Muster\nMusterweg 3\n12345 Musterstadt\n4711\n"
        "01.01.2015\n15.03.2024\nEntgeltabrechnung März 2024",
        "2024-03-15");
    row("a delivery note's delivery date",
        "Lieferschein\nIhre Bestellung vom: 26. Oktober 2023\nLieferdatum: 2. November 2023\nPos. Artikel Menge",
        "2023-11-02");
    row("a receipt's time stamp at the bottom",
        "Bäckerei Korn\n" + QString("Brötchen 0,50\n").repeated(10) + "SUMME EUR 5,00\n12.01.2023 15:25 Bon 1399",
        "2023-01-12");
    row("slash date read day first", "Invoice\nInvoice date 05/07/2023\nTotal £10.00", "2023-07-05");
    row("slash date read month first in dollars", "Invoice\nInvoice date 05/07/2023\nTotal $10.00", "2023-05-07");
    row("label column with colons over a name and dates",
        "Rechnung\nKunde:\nRechnungsdatum:\nLieferdatum:\nErika Muster\n19.06.2024\n22.06.2024\nPos. Artikel",
        "2024-06-19");
    row("a statement's booking rows",
        "Sparkasse\nKontoauszug\n27.05.2023 Dauerauftrag Miete\n"
        "29.05.2023 Gutschrift Gehalt\n30.05.2023 Lastschrift\n05.06.2023",
        "2023-06-05");
    row("year first with slashes", "Freiburg, 2021/06/27\nErinnerung", "2021-06-27");
    row("ordinal day before the month", "Invoice\nDate of issue: 19th July 2022", "2022-07-19");
    row("month name broken by OCR", "Invoice\nInvoice date 19 J une 2023", "2023-06-19");
    row("only a due date", "Zahlbar bis 30.04.2024", "");
    row("no date", "Sehr geehrte Damen und Herren, vielen Dank.", "");
}

void TestLocalNamer::date()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const LocalNaming naming = LocalNamer::name(document(text), Defaults);
    QCOMPARE(value(naming.extraction.datum), expected);
    if (!expected.isEmpty())
        QCOMPARE(naming.sources.value("datum"), FieldSource::text);
}

void TestLocalNamer::amount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    row("net, tax, total", Letter, "119.00");
    row("a letterhead without a recipient window",
        "Elektro Blitz GmbH - Hauptstrasse 1 - 12345 Musterstadt\nRechnung Nr. 2024-117\nRechnungsdatum: 12.04.2024\n"
        "Gesamtbetrag: 297,50 EUR",
        "297.50");
    row("total first, net after", "Rechnung\nGesamtbetrag: 1.234,56 EUR\nNetto 1.037,44 EUR", "1234.56");
    row("subtotal and discount", "Rechnung\nZwischensumme 50,00 €\nRabatt 5,00 €\nSumme brutto 45,00 €", "45.00");
    row("currency code before", "Rechnung\nRechnungsbetrag EUR 1.234,56", "1234.56");
    row("English subtotal, VAT, total", "INVOICE\nSubtotal $100.00\nVAT (20%) $20.00\nTotal $120.00", "120.00");
    row("English total incl. VAT", "Invoice\nTotal incl. VAT: £1,234.50", "1234.50");
    row("discount for early payment",
        "Rechnung\nRechnungsbetrag 119,00 €\nBei Zahlung bis 10.04.2024 abzüglich 2 % Skonto: 116,62 €", "119.00");
    row("column heads", "Rechnung\nNetto   MwSt   Brutto\n100,00 €   19,00 €   119,00 €", "119.00");
    row("label column, then the amount column under its head",
        "Rechnung\nNettobetrag\nUmsatzsteuer 19 %\nBruttobetrag\nabzüglich Abschläge\nRestbetrag\nBetrag\n1.209,24\n"
        "124,44\n€ 1.333,68\n€ 253,40\n€ 1.587,08\n€ -1.488,00\n€ 99,08",
        "99.08");
    row("a label wrapped over two lines",
        "Mahnung\nHauptforderung\n413,49 €\nMahnkosten\n12,00 €\nJetzt\nfällig\n425,49 €", "425.49");
    row("VAT in brackets between label and total",
        "Rechnung\nVersand EUR 5,90\nGesamtsumme (inkl. 19 % MwSt.: 78,07) EUR 488,96", "488.96");
    row("the sum of the amounts above", "Rechnung\nRucksack\nLampe\nVersand\n254,70\n54,66\n0,00\n309,36", "309.36");
    row("paid in part", "Rechnung\nRechnungsbetrag 500,00 €\nAnzahlung 200,00 €\nNoch zu zahlen 300,00 €", "300.00");
    row("payslip", "Gehaltsabrechnung März 2024\nGesamt-Brutto 3.500,00\nNetto 2.300,00\nAuszahlungsbetrag 2.250,00",
        "2250.00");
    row("English payslip: the net pay",
        "Payslip September 2024\nTotal gross 3,083.09\nDeductions -986.58\nNet pay £2,096.51", "2096.51");
    row("receipt's unlabelled sum", "Kassenbon\nBrot 2,49\nMilch 1,19\nKäse 3,50\n7,18", "7.18");
    row("line items only", "Rechnung\nArtikel A 10,00 €\nArtikel B 20,00 €", "");
    row("contract's rent", "Mietvertrag\nDie monatliche Miete beträgt 850,00 €.\nKaution 2.550,00 €", "");
    row("letter with a fee",
        "Sehr geehrte Frau Meier,\nder Beitrag beträgt 12,00 € im Monat.\n"
        "Mit freundlichen Grüßen\nVerein Sonnenschein e.V.",
        "");
    row("percentages are no amounts", "Rechnung\nMwSt 19,00 %\nGesamtbetrag 59,50 €", "59.50");
}

void TestLocalNamer::amount()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const LocalNaming naming = LocalNamer::name(document(text), Defaults);
    QCOMPARE(value(naming.extraction.betrag), expected);
}

void TestLocalNamer::sender_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const QString &text, const QString &expected, const QString &from = {}) {
        QTest::newRow(name) << text << from << expected;
    };

    row("return address above the window", Letter, "Muster Energie");
    row("letterhead, recipient window after Frau",
        "Stadtwerke München GmbH\nEmmy-Noether-Str. 2\n80992 München\n\nFrau\nErika Mustermann\nMusterweg 3\n"
        "12345 Musterstadt\n\nJahresabrechnung 2023\nRechnungsdatum: 15.01.2024",
        "Stadtwerke München");
    row("recipient first, issuer in imprint, bank in footer",
        "Max Mustermann\nMusterweg 3\n12345 Musterstadt\n\nRechnung Nr. 123\nDatum: 01.02.2024\n"
        "Gesamtbetrag 80,00 €\n\nMit freundlichen Grüßen\nIhr Team von Elektro Schmidt\n\n"
        "Elektro Schmidt GmbH · Geschäftsführer: Hans Schmidt · HRB 12345\n"
        "Bankverbindung: Sparkasse München · IBAN DE89 3704 0044 0532 0130 00",
        "Elektro Schmidt");
    row("bank only in the payment footer",
        "Rechnung\nDatum: 01.02.2024\nGesamtbetrag 80,00 "
        "€\n\nKreissparkasse Köln\nIBAN DE89 3704 0044 0532 0130 00\nBIC COBADEFFXXX",
        "");
    row("letterhead's street line above the return address",
        "Stadtwerke Muster GmbH\nAm Kraftwerk 3 · 12345 Musterstadt\n"
        "Stadtwerke Muster GmbH · Am Kraftwerk 3 · 12345 Musterstadt\nFrau\nErika Muster\nWeg 1\n12345 Stadt\n\n"
        "Rechnung",
        "Stadtwerke Muster");
    row("Word paragraphs run together: the opening it repeats",
        "Stadt Musterhausen Tel. +49 341 123456 · www.musterhausen.de Herrn Max Muster Weg 2 12345 Stadt "
        "Musterhausen, 10.07.23 Wartung der Heizung Sehr geehrter Herr Muster, die Heizungsanlage in Ihrem Haus "
        "wird am 24.07.23 zwischen 8 und 14 Uhr gewartet. In dieser Zeit steht kein Warmwasser zur Verfügung. "
        "Freundliche Grüße Stadt Musterhausen Sandra Klein",
        "Stadt Musterhausen");
    row("Word paragraphs run together: a label inside the line",
        "Kaufvertrag für ein gebrauchtes Kraftfahrzeug Verkäufer: Autohaus Muster GmbH, Ringstraße 50, 66111 "
        "Saarbrücken Käufer: Max Muster, Weg 2, 12345 Stadt 1. Gegenstand: Pkw VW Golf, EZ 03/2019 2. Preis: "
        "13.588,71 Euro inkl. MwSt., zahlbar bei Übergabe am 05.09.2024. 3. Gewährleistung: 12 Monate ab Übergabe.",
        "Autohaus Muster");
    row("contract's first party, its form ends the name",
        "Arbeitsvertrag\nzwischen der Muster Software AG (Arbeitgeberin) und Max Muster (Arbeitnehmer)\n"
        "§ 1 Beginn\n____________________\nMuster Software\n____________________\nMax Muster",
        "Muster Software");
    row("lower-case plc, address after the form",
        "Muster Broadband plc 7 Cornmarket\nOxford OX1 3HA\n\nInvoice\nTotal £12.00", "Muster Broadband");
    row("letterhead's street without a number above the return address",
        "Lakeside Tennis Club\nLake Road · Windermere LA23 2BX\nLakeside Tennis Club · Lake Road · Windermere LA23 "
        "2BX\nMs\nJane Doe\n22 Baker Lane\nBristol BS1 4DJ\n\nDear Jane,\nyour membership is renewed.\n"
        "Best regards\nLakeside Tennis Club\nRichard Hale, Club Secretary",
        "Lakeside Tennis Club");
    row("legal form with a hyphen",
        "Allianz Versicherungs-AG · Königinstr. 28 · 80802 München\nFrau\nErika Muster\nWeg 1\n12345 Stadt", "Allianz");
    row("GmbH & Co. KG",
        "Muster Handel GmbH & Co. KG · Industriestr. 9 · 50667 Köln\nHerrn\nMax Muster\nWeg 2\n12345 Stadt",
        "Muster Handel");
    row("country after the form",
        "Telekom Deutschland GmbH, Landgrabenweg 151, 53227 Bonn\nHerrn\nMax Muster\nWeg 2\n12345 Stadt", "Telekom");
    row("registered association",
        "Förderverein Grundschule e.V. · Schulweg 1 · 12345 Stadt\nFamilie\nMuster\nWeg 2\n12345 Stadt",
        "Förderverein Grundschule");
    row("salutation's name is the recipient",
        "Max Mustermann\nMusterweg 3\n12345 Musterstadt\n\nSehr geehrter Herr Mustermann,\nanbei Ihr Vertrag.\n"
        "Mit freundlichen Grüßen\nMuster Versicherung AG",
        "Muster Versicherung");
    row("English letterhead, bill to",
        "Acme Widgets Ltd\n12 High Street\nLondon SW1A 1AA\n\nBill to:\n"
        "John Smith\n5 Low Road\nLeeds LS1 4AP\n\nINVOICE\nTotal £12.00",
        "Acme Widgets");
    row("mail's display name", "Guten Tag,\nanbei Ihre Rechnung.", "Stadtwerke München",
        "\"Stadtwerke München\" <rechnung@swm.de>");
    row("mail's address only", "Guten Tag,\nanbei Ihre Rechnung.", "Telekom", "rechnung@telekom.de");
    row("mail's encoded display name", "Guten Tag,\nanbei Ihre Rechnung.", "Möbelhaus Krämer",
        "=?utf-8?q?M=C3=B6belhaus_Kr=C3=A4mer?= <rechnung@kraemer.de>");
    row("mail body still quoted-printable",
        "Sehr geehrte Frau Muster,\nanbei unser Angebot.\n\nViele Gr=C3=BC=C3=9Fe\nUmz=C3=BCge Muster GmbH\n"
        "Thomas Berger",
        "Umzüge Muster", "info@example.org");
    row("labels joined by a slash",
        "Kaufvertrag\nVerkäufer/Auftragnehmer: Autohaus Muster\nKäufer: Max Muster\n§ 1 Kaufgegenstand",
        "Autohaus Muster");
    row("owner after the name", "Physiotherapie Muster Inh. Lea Martens\nWeg 1 · 12345 Stadt\n\nRechnung",
        "Physiotherapie Muster");
    row("name with its article", "The Crooked Spoon\n9 Pump Street, Worcester WR1 2QX\nScone\nTotal £4.50",
        "The Crooked Spoon");
    row("Abs. with its dot, a scan's speck",
        "Abs. Autohaus ‚Muster · Weg 4 · 12345 Stadt\nFrau\nErika Muster\nWeg 1\n12345 Stadt\n\nAngebot",
        "Autohaus Muster");
    row("owners' association named after its building",
        "WEG PARKSTRASSE 12\nc/o Verwaltung Muster, Lindenallee 3, 19053 Schwerin\n\nSehr geehrte Frau Muster,\n"
        "die Versammlung findet am 12.03.2024 statt.\nMit freundlichen Grüßen\nErika Beispiel, Verwalterin",
        "WEG Parkstrasse 12");
    row("letterhead broken into a word a line, the title after it",
        "Muster\nRobotics\nLtd\nPayslip – October 2021\nName:\nJane Doe\nNet pay\n2,000.00", "Muster Robotics");
    row("sender label", "Absender: Praxis Dr. Weber\nEmpfänger: Max Muster\nRechnung", "Praxis Dr. Weber");
}

void TestLocalNamer::sender()
{
    QFETCH(QString, text);
    QFETCH(QString, from);
    QFETCH(QString, expected);
    const FileContext context = from.isEmpty() ? document(text) : mail(from, "Ihre Rechnung", "", text);
    const LocalNaming naming = LocalNamer::name(context, Defaults);
    QCOMPARE(value(naming.extraction.absender), expected);
    if (!from.isEmpty() && from.contains(expected, Qt::CaseInsensitive))
        QCOMPARE(naming.sources.value("absender"), FieldSource::metadata);
}

void TestLocalNamer::category_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("categories");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const QString &text, const QString &expected,
                        const QStringList &categories = Defaults) {
        QTest::newRow(name) << text << categories << expected;
    };

    const QString medical =
        "Praxis Dr. med. Anna Weiß\nRechnung\nDiagnose: Bronchitis\nGebührenordnung für Ärzte (GOÄ)\n"
        "Gesamtbetrag 86,40 €";
    row("invoice", Letter, "rechnung");
    row("medical bill onto rechnung", medical, "rechnung");
    row("medical bill, user has Arztrechnung", medical, "Arztrechnung", QStringList{"Rechnung", "Arztrechnung"});
    row("reminder, user has Mahnungen", "2. Mahnung\nRechnung Nr. 123", "Mahnungen",
        QStringList{"Rechnungen", "Mahnungen"});
    row("contract, user's plural with umlaut", "Mietvertrag\nzwischen Vermieter und Mieter", "Verträge",
        QStringList{"Rechnungen", "Verträge"});
    row("offer", "Angebot Nr. 2024-17\nAngebot gültig bis 30.04.2024", "angebot");
    row("plain letter",
        "Sehr geehrte Frau Meier,\nwir informieren Sie über unsere neuen Öffnungszeiten.\n"
        "Mit freundlichen Grüßen\nBürgeramt",
        "brief");
    row("minutes", "Protokoll der Sitzung vom 12.03.2024\nTeilnehmer: A, B\nTagesordnung", "protokoll");
    row("receipt onto beleg", "Kassenbon\nSUMME EUR 7,18\nBAR 10,00\nRückgeld 2,82", "beleg");
    row("English invoice", "INVOICE\nInvoice number: INV-17\nAmount due: $120.00", "rechnung");
    row("English payslip, user's Gehalt", "Payslip March 2024\nGross pay 3,000.00\nNet pay 2,100.00", "Gehalt",
        QStringList{"Gehalt", "Rechnung"});
    row("tax assessment onto brief", "Finanzamt München\nBescheid für 2023 über Einkommensteuer\nfestgesetzt", "brief");
    row("a contract mentioning invoices later",
        "Dienstleistungsvertrag\n" + QString("§ Leistung\n").repeated(20) + "§ 7 Rechnung und Zahlung", "vertrag");
    row("insurer's premium invoice onto rechnung",
        "Muster Versicherung AG\nVersicherungsnummer: VS-123\nVersicherungsbeginn: 01.01.2020\n"
        "Beitragsrechnung 2024\nJahresbeitrag 240,00 €\nZu zahlender Beitrag 240,00 €",
        "rechnung");
    row("insurer's claim letter onto brief",
        "Muster Versicherung AG\nVersicherungsnummer: VS-123\nVersicherungsbeginn: 01.01.2020\n"
        "Ihre Schadenmeldung vom 02.03.2024\nSehr geehrte Frau Muster,\nnach Abzug der Selbstbeteiligung "
        "erstatten wir Ihnen 500,00 €.",
        "brief");
    row("letter with a warm closing", "Liebe Frau Muster,\nwir sind umgezogen.\nHerzliche Grüße\nHelga", "brief");
    row("statement's rows of credits",
        "Sparkasse Muster\nKontoauszug\nSaldo alt 100,00\n27.05.2023 Gutschrift Gehalt 10,00\n"
        "28.05.2023 Gutschrift Gehalt 10,00\n29.05.2023 Gutschrift Gehalt 10,00\nSaldo neu 130,00",
        "beleg");
    row("Word paragraphs run together: the title near the start heads, the body's words do not",
        "Hausverwaltung Muster Weg 4 · 12345 Stadt Frau Erika Muster Weg 1 12345 Stadt Stadt, 20.7.23 Ankündigung "
        "Wartungsarbeiten Sehr geehrte Frau Muster, die Heizungsanlage in Ihrem Haus wird am 3.8.23 gewartet. Die "
        "Kosten der Wartung werden über die Betriebskostenabrechnung 2023 umgelegt. Viele Grüße Hausverwaltung "
        "Muster",
        "brief");
    row("till receipt without a title onto beleg",
        "Baumarkt Muster\nGewerbestraße 2, 74072 Heilbronn\nDübel 8 mm\nZu zahlen\nVielen Dank - 20.05.2022 19:24\n"
        "St-Nr 23/161/05345\n34,30 EUR",
        "beleg");
    row("English letter closing with Yours", "Dear Tom,\nthank you for renewing your membership.\nYours,\nHelen Marsh",
        "brief");
    row("premium change onto vertrag",
        "Muster Versicherung AG\nVertragsnummer: 123\nBeitragsmitteilung 2022\nab 24.08.2021 ändert sich Ihr "
        "Beitrag auf jährlich 726,34 €.",
        "vertrag");
    row("nothing fits", "Einkaufsliste: Äpfel, Brot", "");
    row("kind the user has no category for", "Mietvertrag\nzwischen A und B", "", QStringList{"Rechnung"});
}

void TestLocalNamer::category()
{
    QFETCH(QString, text);
    QFETCH(QStringList, categories);
    QFETCH(QString, expected);
    QCOMPARE(value(LocalNamer::name(document(text), categories).extraction.kategorie), expected);
}

void TestLocalNamer::description_data()
{
    QTest::addColumn<FileContext>("context");
    QTest::addColumn<QString>("expected");

    QTest::newRow("subject line without the category")
        << document("Stadtwerke Musterstadt\nBetreff: Ihre Stromrechnung für März 2024\nRechnungsdatum: 02.04.2024")
        << "Strom März 2024";
    QTest::newRow("mail subject with reply prefixes")
        << mail("Web Studio <info@webstudio.de>", "AW: WG: Angebot Website Redesign", "", "Angebot anbei.")
        << "Website Redesign";
    QTest::newRow("heading with the number") << document(Letter) << "Nr. RE-2024-0815";
    QTest::newRow("English subject") << document("Subject: Your invoice for hosting\nInvoice date: 2024-03-01")
                                     << "hosting";
    QTest::newRow("at most five words")
        << document("Betreff: Kündigung Vertrag Mobilfunk Festnetz Internet Fernsehen Zeitschriften")
        << "Mobilfunk Festnetz Internet Fernsehen Zeitschriften";
    QTest::newRow("recording's title keeps its small words")
        << document("title: Sommerfest im Garten", "mp4",
                    {{MetadataMap::SourceKey, FileContext::MediaSource}, {"title", "Sommerfest im Garten"}})
        << "Sommerfest im Garten";
    QTest::newRow("writer's title is none")
        << document("Lorem ipsum", "docx", {{"title", "Microsoft Word - Dokument1"}}) << "";
}

void TestLocalNamer::description()
{
    QFETCH(FileContext, context);
    QFETCH(QString, expected);
    const LocalNaming naming = LocalNamer::name(context, Defaults);
    QCOMPARE(naming.extraction.beschreibung, expected);
    const QString category = value(naming.extraction.kategorie);
    if (!category.isEmpty())
        QVERIFY2(!naming.extraction.beschreibung.contains(category, Qt::CaseInsensitive), qPrintable(category));
}

void TestLocalNamer::identifiers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    QTest::newRow("issuer's footer") << Letter
                                     << QStringList{"vat:DE123456789", "iban:DE89370400440532013000",
                                                    "mail:muster-energie.de", "tel:+49891234567", "name:muster energie"}
                                     << QStringList{};
    QTest::newRow("VAT ID in groups, tax number")
        << "Muster GmbH\nUSt-IdNr. DE 987 654 321 · Steuernummer: 143/123/45678"
        << QStringList{"vat:DE987654321", "tax:143/123/45678"} << QStringList{};
    QTest::newRow("customer's VAT ID") << "Muster GmbH\nIhre USt-IdNr.: DE111111111\nUnsere USt-IdNr.: DE222222222"
                                       << QStringList{"vat:DE222222222"} << QStringList{"vat:DE111111111"};
    QTest::newRow("direct debit from the recipient's account")
        << "Rechnung\nWir buchen den Betrag von Ihrem Konto IBAN DE89 3704 0044 0532 0130 00 ab." << QStringList{}
        << QStringList{"iban:DE89370400440532013000"};
    QTest::newRow("IBAN with a wrong checksum")
        << "Rechnung\nIBAN DE00 3704 0044 0532 0130 00" << QStringList{} << QStringList{"iban:DE00370400440532013000"};
    QTest::newRow("freemail and a subdomain") << "Hans Meier\nhans.meier@gmx.de\nservice@rechnung.versand-meier.de"
                                              << QStringList{"mail:versand-meier.de"} << QStringList{"mail:gmx.de"};
    QTest::newRow("recipient's window")
        << "Muster GmbH · Weg 1 · 12345 Stadt\nHerrn\nMax Kunde\nmax@kunde-firma.de\n12345 Stadt\n\nRechnung"
        << QStringList{} << QStringList{"mail:kunde-firma.de"};
    QTest::newRow("tax number of the assessed person")
        << "Finanzamt München\nSteuernummer 143/123/45678\nEinkommensteuerbescheid 2023" << QStringList{}
        << QStringList{"tax:143/123/45678"};
}

void TestLocalNamer::identifiers()
{
    QFETCH(QString, text);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    const QStringList identifiers = LocalNamer::senderIdentifiers(document(text));
    for (const QString &identifier : present)
        QVERIFY2(identifiers.contains(identifier), qPrintable(identifier + " in " + identifiers.join(", ")));
    for (const QString &identifier : absent)
        QVERIFY2(!identifiers.contains(identifier), qPrintable(identifier + " in " + identifiers.join(", ")));
}

void TestLocalNamer::learned_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<LearnedSender>("known");
    QTest::addColumn<QString>("absender");
    QTest::addColumn<QString>("kategorie");
    QTest::addColumn<QString>("beschreibung");
    const auto row = [](const char *name, const QString &text, const LearnedSender &known, const QString &absender,
                        const QString &kategorie, const QString &beschreibung) {
        QTest::newRow(name) << text << known << absender << kategorie << beschreibung;
    };

    const LearnedSender swm{"SWM", QString("vertrag"), "Strom Abschlag", {"vat:DE123456789"}};
    row("VAT ID", Letter, swm, "SWM", "rechnung", "Strom Abschlag");
    row("IBAN", "Zahlungsplan\nIBAN DE89 3704 0044 0532 0130 00",
        LearnedSender{"Vermieter Huber", QString("vertrag"), "Miete", {"iban:DE89370400440532013000"}},
        "Vermieter Huber", "vertrag", "Miete");
    row("mail domain", "Ihre Abschlagszahlung\nservice@stadtwerke-muenchen.de",
        LearnedSender{"Stadtwerke", std::nullopt, "", {"mail:stadtwerke-muenchen.de"}}, "Stadtwerke", "", "");
    row("folded name", "STADTWERKE MÜNCHEN GmbH · Postfach 1 · 80287 München\nHerrn\nMax Muster\nWeg 1\n12345 Stadt",
        LearnedSender{"SWM", QString("brief"), "", {"name:stadtwerke muenchen"}}, "SWM", "brief", "");
    row("another sender", Letter, LearnedSender{"SWM", QString("vertrag"), "x", {"vat:DE999999999"}}, "Muster Energie",
        "rechnung", "Nr. RE-2024-0815");
    row("the recipient's VAT ID", "Muster GmbH\nIhre USt-IdNr.: DE111111111\nRechnung",
        LearnedSender{"Kunde", std::nullopt, "", {"vat:DE111111111"}}, "Muster", "rechnung", "");
}

void TestLocalNamer::learned()
{
    QFETCH(QString, text);
    QFETCH(LearnedSender, known);
    QFETCH(QString, absender);
    QFETCH(QString, kategorie);
    QFETCH(QString, beschreibung);
    const LearnedSender stranger{"Fremd", QString("angebot"), "y", {"vat:DE555555555", "name:fremd"}};
    const LocalNaming naming = LocalNamer::name(document(text), Defaults, {stranger, known});
    QCOMPARE(value(naming.extraction.absender), absender);
    QCOMPARE(value(naming.extraction.kategorie), kategorie);
    QCOMPARE(naming.extraction.beschreibung, beschreibung);
    QCOMPARE(naming.sources.value("absender") == FieldSource::learned, absender == known.absender);
}

void TestLocalNamer::eInvoiceWins_data()
{
    QTest::addColumn<QString>("typeCode");
    QTest::addColumn<QStringList>("categories");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QString>("kategorie");

    QTest::newRow("credit note, user has Gutschrift")
        << "381" << QStringList{"Rechnung", "Gutschrift"} << true << "Gutschrift";
    QTest::newRow("credit note onto rechnung") << "381" << Defaults << true << "rechnung";
    QTest::newRow("without a total") << "380" << Defaults << false << "rechnung";
}

void TestLocalNamer::eInvoiceWins()
{
    QFETCH(QString, typeCode);
    QFETCH(QStringList, categories);
    QFETCH(bool, complete);
    QFETCH(QString, kategorie);
    FileContext context = document(Letter);
    EInvoice invoice;
    invoice.number = "2024-0099";
    invoice.issueDate = QDate(2024, 3, 20);
    invoice.typeCode = typeCode;
    invoice.sellerName = "Muster Energie Vertrieb GmbH";
    invoice.sellerVatId = "DE123456789";
    if (complete)
        invoice.totalCents = 12345;
    invoice.currency = "EUR";
    context.invoice = invoice;

    const LocalNaming naming = LocalNamer::name(context, categories);
    QCOMPARE(value(naming.extraction.datum), "2024-03-20");
    QCOMPARE(value(naming.extraction.absender), "Muster Energie");
    QCOMPARE(value(naming.extraction.betrag), complete ? "123.45" : "119.00");
    QCOMPARE(value(naming.extraction.kategorie), kategorie);
    QCOMPARE(naming.sources.value("datum"), FieldSource::einvoice);
    QCOMPARE(naming.sources.value("absender"), FieldSource::einvoice);
    QCOMPARE(naming.sources.value("betrag"), complete ? FieldSource::einvoice : FieldSource::text);
    QCOMPARE(naming.sure, complete);
    QVERIFY(LocalNamer::senderIdentifiers(context).contains("vat:DE123456789"));
}

void TestLocalNamer::mediaWithoutText_data()
{
    QTest::addColumn<FileContext>("context");
    QTest::addColumn<QString>("datum");
    QTest::addColumn<QString>("kategorie");

    QTest::newRow("photo with EXIF date")
        << document("", "jpg", {{"date", "2024:03:15 14:22:05"}, {"camera_make", "Canon"}}) << "2024-03-15"
        << "foto";
    QTest::newRow("recording's creation time")
        << document("date: 2023-07-01T18:00:00.000000Z", "mp4",
                    {{MetadataMap::SourceKey, FileContext::MediaSource}, {"date", "2023-07-01T18:00:00.000000Z"}})
        << "2023-07-01"
        << "";
    QTest::newRow("picture without any date") << document("", "png", {{"dimensions", "800x600"}}) << ""
                                              << "foto";
}

void TestLocalNamer::mediaWithoutText()
{
    QFETCH(FileContext, context);
    QFETCH(QString, datum);
    QFETCH(QString, kategorie);
    const LocalNaming naming = LocalNamer::name(context, Defaults);
    QCOMPARE(value(naming.extraction.datum), datum);
    QCOMPARE(value(naming.extraction.kategorie), kategorie);
    QCOMPARE(value(naming.extraction.absender), "");
    QCOMPARE(value(naming.extraction.betrag), "");
    if (!datum.isEmpty())
        QCOMPARE(naming.sources.value("datum"), FieldSource::metadata);
    QCOMPARE(naming.sure, !datum.isEmpty());
}

void TestLocalNamer::sureness_data()
{
    QTest::addColumn<FileContext>("context");
    QTest::addColumn<bool>("sure");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");

    QTest::newRow("invoice with everything") << document(Letter) << true << 0.8 << 0.9;
    QTest::newRow("invoice without a total")
        << document(QString(Letter).replace("Gesamtbetrag 119,00 €", "")) << false << 0.6 << 0.85;
    QTest::newRow("mail with its header")
        << mail("Web Studio <info@webstudio.de>", "Ihr Angebot", "Fri, 15 Mar 2024 10:00:00 +0100",
                "Angebot\nAngebotssumme 1.200,00 €")
        << true << 0.8 << 0.9;
    QTest::newRow("shopping list") << document("Äpfel\nBrot") << false << 0.0 << 0.3;
}

void TestLocalNamer::sureness()
{
    QFETCH(FileContext, context);
    QFETCH(bool, sure);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    const LocalNaming naming = LocalNamer::name(context, Defaults);
    QCOMPARE(naming.sure, sure);
    QVERIFY2(naming.extraction.confidence >= minimum && naming.extraction.confidence <= maximum,
             qPrintable(QString::number(naming.extraction.confidence)));
}

QTEST_APPLESS_MAIN(TestLocalNamer)
#include "tst_localnamer.moc"
