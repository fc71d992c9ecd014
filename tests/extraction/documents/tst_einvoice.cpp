#include "awaittask.h"
#include "companion/kvxclient.h"
#include "engine/filepipeline.h"
#include "extraction/contentextraction.h"
#include "extraction/documents/einvoicereader.h"
#include "extractiontestkit.h"
#include "korvexstub.h"
#include "settings/defaultsstore.h"

using namespace ExtractionTestKit;

char *toString(const std::optional<EInvoice> &optional)
{
    if (!optional)
        return qstrdup("(keine Rechnung)");
    const EInvoice &invoice = *optional;
    return QTest::toString(QStringList{invoice.syntax == EInvoice::Syntax::ubl ? "ubl" : "cii", invoice.number,
                                       invoice.issueDate ? invoice.issueDate->toString(Qt::ISODate) : "(kein Datum)",
                                       invoice.typeCode, invoice.sellerName, invoice.sellerVatId,
                                       invoice.totalCents ? QString::number(*invoice.totalCents) : "(kein Betrag)",
                                       invoice.currency, invoice.attachmentName}
                               .join(" | "));
}

namespace {

// An XRechnung in UBL: a PDF rendering embedded as base64, an invoice line, a customer and a
// payee with names and VAT IDs, a tax number beside the seller's VAT ID, a prepayment.
QByteArray ublInvoice()
{
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<ubl:Invoice xmlns:ubl="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
    xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
    xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">
  <cbc:CustomizationID>urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0</cbc:CustomizationID>
  <cbc:ID>SWK-0815</cbc:ID>
  <cbc:IssueDate>2024-02-29</cbc:IssueDate>
  <cbc:DueDate>2024-03-14</cbc:DueDate>
  <cbc:InvoiceTypeCode>380</cbc:InvoiceTypeCode>
  <cbc:DocumentCurrencyCode>EUR</cbc:DocumentCurrencyCode>
  <cbc:BuyerReference>991-01234-56</cbc:BuyerReference>
  <cac:AdditionalDocumentReference>
    <cbc:ID>Anlage 1</cbc:ID>
    <cac:Attachment><cbc:EmbeddedDocumentBinaryObject mimeCode="application/pdf" filename="rechnung.pdf">JVBERi0xLjQKJcfsj6IKNSAwIG9iago8PC9MZW5ndGggNiAwIFI+PgpzdHJlYW0K</cbc:EmbeddedDocumentBinaryObject></cac:Attachment>
  </cac:AdditionalDocumentReference>
  <cac:AccountingSupplierParty>
    <cac:Party>
      <cac:PartyIdentification><cbc:ID>4711</cbc:ID></cac:PartyIdentification>
      <cac:PartyName><cbc:Name>Stadtwerke</cbc:Name></cac:PartyName>
      <cac:PostalAddress><cbc:CityName>Köln</cbc:CityName><cac:Country><cbc:IdentificationCode>DE</cbc:IdentificationCode></cac:Country></cac:PostalAddress>
      <cac:PartyTaxScheme><cbc:CompanyID>214/5678/9012</cbc:CompanyID><cac:TaxScheme><cbc:ID>FC</cbc:ID></cac:TaxScheme></cac:PartyTaxScheme>
      <cac:PartyTaxScheme><cbc:CompanyID>DE811234567</cbc:CompanyID><cac:TaxScheme><cbc:ID>VAT</cbc:ID></cac:TaxScheme></cac:PartyTaxScheme>
      <cac:PartyLegalEntity><cbc:RegistrationName>Stadtwerke Köln GmbH</cbc:RegistrationName></cac:PartyLegalEntity>
    </cac:Party>
  </cac:AccountingSupplierParty>
  <cac:AccountingCustomerParty>
    <cac:Party>
      <cac:PartyTaxScheme><cbc:CompanyID>DE999999999</cbc:CompanyID><cac:TaxScheme><cbc:ID>VAT</cbc:ID></cac:TaxScheme></cac:PartyTaxScheme>
      <cac:PartyLegalEntity><cbc:RegistrationName>Muster AG</cbc:RegistrationName></cac:PartyLegalEntity>
    </cac:Party>
  </cac:AccountingCustomerParty>
  <cac:PayeeParty><cac:PartyName><cbc:Name>Inkasso Nord GmbH</cbc:Name></cac:PartyName></cac:PayeeParty>
  <cac:TaxTotal><cbc:TaxAmount currencyID="EUR">190.00</cbc:TaxAmount></cac:TaxTotal>
  <cac:LegalMonetaryTotal>
    <cbc:LineExtensionAmount currencyID="EUR">1000.00</cbc:LineExtensionAmount>
    <cbc:TaxExclusiveAmount currencyID="EUR">1000.00</cbc:TaxExclusiveAmount>
    <cbc:TaxInclusiveAmount currencyID="EUR">1190.00</cbc:TaxInclusiveAmount>
    <cbc:PrepaidAmount currencyID="EUR">100.00</cbc:PrepaidAmount>
    <cbc:PayableAmount currencyID="EUR">1090.00</cbc:PayableAmount>
  </cac:LegalMonetaryTotal>
  <cac:InvoiceLine>
    <cbc:ID>1</cbc:ID>
    <cbc:InvoicedQuantity unitCode="C62">1</cbc:InvoicedQuantity>
    <cbc:LineExtensionAmount currencyID="EUR">1000.00</cbc:LineExtensionAmount>
    <cac:Item><cbc:Name>Strom Februar</cbc:Name></cac:Item>
    <cac:Price><cbc:PriceAmount currencyID="EUR">1000.00</cbc:PriceAmount></cac:Price>
  </cac:InvoiceLine>
</ubl:Invoice>
)";
}

// A UBL credit note with neither type code nor currency code, a trading name only, and no
// payable amount: 381, the name, the tax-inclusive total and its currency attribute stand in.
QByteArray ublCreditNote()
{
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<CreditNote xmlns="urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2"
    xmlns:a="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
    xmlns:b="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">
  <b:ID>GS-17</b:ID>
  <b:IssueDate>2024-05-02+02:00</b:IssueDate>
  <a:AccountingSupplierParty><a:Party><a:PartyName><b:Name>Buchladen am Markt</b:Name></a:PartyName></a:Party></a:AccountingSupplierParty>
  <a:AccountingCustomerParty><a:Party><a:PartyName><b:Name>Erika Mustermann</b:Name></a:PartyName></a:Party></a:AccountingCustomerParty>
  <a:LegalMonetaryTotal><b:TaxInclusiveAmount currencyID="CHF">12.5</b:TaxInclusiveAmount></a:LegalMonetaryTotal>
  <a:CreditNoteLine><b:ID>1</b:ID><b:LineExtensionAmount currencyID="CHF">99.00</b:LineExtensionAmount></a:CreditNoteLine>
</CreditNote>
)";
}

// ZUGFeRD 1.0, in ISO-8859-1 (which the generic text path cannot read).
QByteArray zugferd1Invoice()
{
    return QByteArray(R"(<?xml version="1.0" encoding="ISO-8859-1"?>
<rsm:CrossIndustryDocument xmlns:rsm="urn:ferd:CrossIndustryDocument:invoice:1p0"
    xmlns:ram="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:12"
    xmlns:udt="urn:un:unece:uncefact:data:standard:UnqualifiedDataType:15">
  <rsm:HeaderExchangedDocument>
    <ram:ID>471102</ram:ID><ram:TypeCode>380</ram:TypeCode>
    <ram:IssueDateTime><udt:DateTimeString format="102">20131104</udt:DateTimeString></ram:IssueDateTime>
  </rsm:HeaderExchangedDocument>
  <rsm:SpecifiedSupplyChainTradeTransaction>
    <ram:ApplicableSupplyChainTradeAgreement>
      <ram:SellerTradeParty><ram:Name>Lieferant GmbH M)") +
           "\xfc" + R"(nchen</ram:Name></ram:SellerTradeParty>
      <ram:BuyerTradeParty><ram:Name>Kunden AG Mitte</ram:Name></ram:BuyerTradeParty>
    </ram:ApplicableSupplyChainTradeAgreement>
    <ram:ApplicableSupplyChainTradeSettlement>
      <ram:InvoiceCurrencyCode>EUR</ram:InvoiceCurrencyCode>
      <ram:SpecifiedTradeSettlementMonetarySummation>
        <ram:GrandTotalAmount currencyID="EUR">529.87</ram:GrandTotalAmount>
        <ram:DuePayableAmount currencyID="EUR">529.87</ram:DuePayableAmount>
      </ram:SpecifiedTradeSettlementMonetarySummation>
    </ram:ApplicableSupplyChainTradeSettlement>
  </rsm:SpecifiedSupplyChainTradeTransaction>
</rsm:CrossIndustryDocument>
)";
}

// `xml` with each namespace prefix renamed; an empty new prefix makes it the default namespace.
QByteArray withPrefixes(QByteArray xml, const QList<QPair<QByteArray, QByteArray>> &renames)
{
    for (const auto &[from, to] : renames) {
        const QByteArray prefix = to.isEmpty() ? QByteArray() : to + ':';
        xml.replace("<" + from + ":", "<" + prefix)
            .replace("</" + from + ":", "</" + prefix)
            .replace("xmlns:" + from + "=", to.isEmpty() ? "xmlns=" : "xmlns:" + to + "=");
    }
    return xml;
}

EInvoice invoice(EInvoice::Syntax syntax, const QString &number, QDate date, const QString &typeCode,
                 const QString &seller, const QString &vatId, std::optional<qint64> cents, const QString &currency)
{
    return {syntax,   number, date.isValid() ? std::optional(date) : std::nullopt, typeCode, seller, vatId, cents,
            currency, {}};
}

const EInvoice CiiExpected = invoice(EInvoice::Syntax::cii, "RE-2024-4711", {2024, 3, 15}, "380",
                                     "Telekom Deutschland GmbH", "DE123475223", 3999, "EUR");
const EInvoice UblExpected = invoice(EInvoice::Syntax::ubl, "SWK-0815", {2024, 2, 29}, "380", "Stadtwerke Köln GmbH",
                                     "DE811234567", 109000, "EUR");

// A one-page PDF with a text layer (Helvetica, ASCII) and files embedded at the document level;
// `compressed` ones are stored deflated. Written by hand: QPdfWriter cannot attach files.
struct Attachment {
    QString name;
    QByteArray bytes;
    bool compressed = false;
};

QByteArray hybridPdf(const QString &pageText, const QList<Attachment> &attachments)
{
    QList<QByteArray> objects;
    QByteArray names;
    for (qsizetype i = 0; i < attachments.size(); ++i) {
        const qsizetype spec = 6 + 2 * i;
        names += "(" + attachments[i].name.toLatin1() + ") " + QByteArray::number(spec) + " 0 R ";
    }
    objects << "<< /Type /Catalog /Pages 2 0 R /Names << /EmbeddedFiles << /Names [" + names + "] >> >> >>";
    objects << "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 4 0 R >> >> "
               "/Contents 5 0 R >>";
    objects << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    const QByteArray content = "BT /F1 11 Tf 50 780 Td (" + pageText.toLatin1() + ") Tj ET";
    objects << "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream";
    for (const Attachment &attachment : attachments) {
        const QByteArray name = attachment.name.toLatin1();
        objects << "<< /Type /Filespec /F (" + name + ") /UF (" + name + ") /AFRelationship /Alternative /EF << /F " +
                       QByteArray::number(objects.size() + 2) + " 0 R >> >>";
        // qCompress puts the length in front of a zlib stream.
        const QByteArray stored = attachment.compressed ? qCompress(attachment.bytes).mid(4) : attachment.bytes;
        objects << "<< /Type /EmbeddedFile /Subtype /text#2Fxml /Length " + QByteArray::number(stored.size()) +
                       (attachment.compressed ? " /Filter /FlateDecode" : "") + " /Params << /Size " +
                       QByteArray::number(attachment.bytes.size()) + " >> >>\nstream\n" + stored + "\nendstream";
    }
    QByteArray pdf = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

const QString PageText = "Rechnung RE-2024-4711 vom 15.03.2024, Telekom Deutschland GmbH, Betrag 39,99 EUR";

} // namespace

class TestEInvoice final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Through the helper: the invoice crosses the sandbox's socket with every field.
    void xmlFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<std::optional<EInvoice>>("expected");
        QTest::addColumn<QString>("summary"); // the text's start; for no invoice, the generic text
        QTest::addColumn<QString>("body");    // in the text after the summary
        const QString ciiSummary = "Rechnung RE-2024-4711 vom 15.03.2024\nVerkäufer: Telekom Deutschland GmbH\n"
                                   "USt-IdNr.: DE123475223\nBetrag: 39,99 EUR\n\n";
        QTest::newRow("cii") << ciiInvoice() << std::optional(CiiExpected) << ciiSummary << "Mobilfunk Tarif M";
        QTest::newRow("cii, other prefixes") << withPrefixes(ciiInvoice(), {{"rsm", "inv"}, {"ram", ""}, {"udt", "d"}})
                                             << std::optional(CiiExpected) << ciiSummary << "Mobilfunk Tarif M";
        EInvoice credit = CiiExpected;
        credit.typeCode = "381";
        credit.totalCents = 4999;
        QTest::newRow("cii credit note, no amount due: the grand total")
            << ciiInvoice("381", false) << std::optional(credit) << "Gutschrift RE-2024-4711 vom 15.03.2024\n"
            << "Betrag: 49,99 EUR";
        QTest::newRow("ubl") << ublInvoice() << std::optional(UblExpected)
                             << "Rechnung SWK-0815 vom 29.02.2024\nVerkäufer: Stadtwerke Köln GmbH\n"
                                "USt-IdNr.: DE811234567\nBetrag: 1.090,00 EUR\n\n"
                             << "Strom Februar";
        QTest::newRow("ubl credit note")
            << ublCreditNote()
            << std::optional(
                   invoice(EInvoice::Syntax::ubl, "GS-17", {2024, 5, 2}, "381", "Buchladen am Markt", {}, 1250, "CHF"))
            << "Gutschrift GS-17 vom 02.05.2024\nVerkäufer: Buchladen am Markt\nBetrag: 12,50 CHF\n\n"
            << "Erika Mustermann";
        QTest::newRow("zugferd 1, latin-1")
            << zugferd1Invoice()
            << std::optional(invoice(EInvoice::Syntax::cii, "471102", {2013, 11, 4}, "380", "Lieferant GmbH München",
                                     {}, 52987, "EUR"))
            << "Rechnung 471102 vom 04.11.2013\nVerkäufer: Lieferant GmbH München\nBetrag: 529,87 EUR"
            << "Kunden AG Mitte";
        QTest::newRow("ubl without date and amounts")
            << QByteArray("<Invoice xmlns='urn:oasis:names:specification:ubl:schema:xsd:Invoice-2' "
                          "xmlns:cbc='urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2'>"
                          "<cbc:ID>7</cbc:ID><cbc:IssueDate>29.02.2024</cbc:IssueDate></Invoice>")
            << std::optional(invoice(EInvoice::Syntax::ubl, "7", {}, {}, {}, {}, std::nullopt, {})) << "Rechnung 7\n\n"
            << "29.02.2024";

        // No invoice: the text is the file's, as for any XML.
        const QByteArray cii = ciiInvoice();
        const QList<QPair<const char *, QByteArray>> others{
            {"cut short", cii.left(cii.indexOf("</ram:ApplicableHeaderTradeSettlement>"))},
            {"invoice name, no namespace", "<Invoice><ID>1</ID></Invoice>"},
            {"ubl order", "<Order xmlns=\"urn:oasis:names:specification:ubl:schema:xsd:Order-2\"/>"},
            {"invoice root, nothing in it",
             "<Invoice xmlns=\"urn:oasis:names:specification:ubl:schema:xsd:Invoice-2\"><Note>x</Note></Invoice>"},
            {"entities declared", "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
                                  "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>\n" +
                                      withPrefixes(cii, {{"rsm", ""}}).replace("Tarif M", "&c;&c;&c;&c;")},
        };
        for (const auto &[name, content] : others)
            QTest::newRow(name) << content << std::optional<EInvoice>()
                                << QString::fromUtf8(content).left(TextLimits::Document) << QString();
    }

    void xmlFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(std::optional<EInvoice>, expected);
        QFETCH(QString, summary);
        QFETCH(QString, body);
        const QString path = writeFile(m_dir.filePath(QString(QTest::currentDataTag()) + ".xml"), content);

        const ExtractionResult result = extract(path);
        QVERIFY2(result, qPrintable(result ? QString() : result.error().message));
        QCOMPARE(result->invoice, expected);
        QVERIFY2(result->extractedText.startsWith(summary), qPrintable(result->extractedText));
        QCOMPARE(result->metadata.value("source"), expected ? "einvoice" : "");
        QVERIFY(result->metadata.contains("size"));
        // The document's text follows the summary; embedded files do not.
        QVERIFY2(result->extractedText.mid(summary.size()).contains(body), qPrintable(result->extractedText));
        QVERIFY(!expected || !result->extractedText.contains("JVBERi0x"));
    }

    // XML decimals to cents without floating point; anything else is no amount.
    void amounts_data()
    {
        QTest::addColumn<QString>("decimal");
        QTest::addColumn<std::optional<qint64>>("cents");
        const QList<QPair<const char *, std::optional<qint64>>> rows{
            {"+12", 1200},
            {" 7. ", 700},
            {".5", 50},
            {"2.344", 234},
            {"2.345", 235},
            {"-2.345", -235},
            {"49,99", {}},
            {"", {}},
            {"1.2.3", {}},
            {"--1", {}},
            {"\u0661\u0662", {}},
            {"999999999999999.99", 99999999999999999},
            {"1000000000000000", {}},
        };
        for (const auto &[decimal, cents] : rows)
            QTest::newRow(qPrintable(QString("\"%1\"").arg(decimal))) << QString(decimal) << cents;
    }

    void amounts()
    {
        QFETCH(QString, decimal);
        QTEST(EInvoiceReader::centsOf(decimal), "cents");
    }

    // A PDF that carries an invoice XML: the invoice comes from the attachment picked by name,
    // the text from the page, as for any PDF.
    void hybridPdf_data()
    {
        QTest::addColumn<QList<Attachment>>("attachments");
        QTest::addColumn<std::optional<EInvoice>>("expected");
        const auto from = [](EInvoice invoice, const QString &name) {
            invoice.attachmentName = name;
            return std::optional(invoice);
        };
        const QByteArray cii = ciiInvoice(), ubl = ublInvoice();
        const QByteArray note = "<?xml version=\"1.0\"?><metadata><title>Rechnung</title></metadata>";
        QTest::newRow("ZUGFeRD name, deflated")
            << QList<Attachment>{{"ZUGFeRD-invoice.xml", cii, true}} << from(CiiExpected, "ZUGFeRD-invoice.xml");
        QTest::newRow("other name, invoice root")
            << QList<Attachment>{{"metadata.xml", note}, {"RE_4711.XML", cii}} << from(CiiExpected, "RE_4711.XML");
        QTest::newRow("the standard name first")
            << QList<Attachment>{{"a-copy.xml", ubl}, {"factur-x.xml", cii}} << from(CiiExpected, "factur-x.xml");
        QTest::newRow("a broken standard one passed over")
            << QList<Attachment>{{"factur-x.xml", cii.left(cii.size() / 2)}, {"zugferd.xml", ubl}}
            << from(UblExpected, "zugferd.xml");
        QTest::newRow("not xml by name") << QList<Attachment>{{"rechnung.txt", cii}} << std::optional<EInvoice>();
        QTest::newRow("no attachments") << QList<Attachment>{} << std::optional<EInvoice>();
    }

    void hybridPdf()
    {
        QFETCH(QList<Attachment>, attachments);
        const QString path =
            writeFile(m_dir.filePath(QString(QTest::currentDataTag()) + ".pdf"), ::hybridPdf(PageText, attachments));

        const ExtractionResult result = extract(path);
        QVERIFY(result);
        QTEST(result->invoice, "expected");
        QCOMPARE(result->extractedText, PageText + '\n');
        QCOMPARE(result->metadata, MetadataMap({{"source", "pdfkit"}}));
    }

    // How one makes a hybrid invoice from any PDF with a stock tool; QPdfWriter's page has no name tree.
    void qpdfAttachment()
    {
        const QString plain = writePdf(m_dir.filePath("seite.pdf"), {{{{PageText}}}});
        const QString xml = writeFile(m_dir.filePath("anhang/factur-x.xml"), ciiInvoice());
        const QString hybrid = m_dir.filePath("hybrid.pdf");
        QProcess qpdf;
        qpdf.start("qpdf", {plain, hybrid, "--add-attachment", xml, "--mimetype=text/xml", "--"});
        QVERIFY2(qpdf.waitForFinished(30000) && qpdf.exitCode() == 0, qpdf.readAllStandardError().constData());

        const ExtractionResult result = extract(hybrid);
        QVERIFY(result);
        EInvoice expected = CiiExpected;
        expected.attachmentName = "factur-x.xml";
        QCOMPARE(result->invoice, std::optional(expected));
        QCOMPARE(result->extractedText, PageText + '\n');

        // A companion that holds the file's text does not hide its invoice.
        KorvexStub korvex;
        QVERIFY(korvex.listen());
        korvex.addDocument({"h1", hybrid, {{1, "Text aus Korvex"}}});
        DefaultsStore store;
        store.setInteger("kvx.port", korvex.port());
        KVXClient companion(store);
        const ExtractionResult viaCompanion =
            awaitTask(FilePipeline::extract(hybrid, companion, ExtractionSandbox::shared()));
        QVERIFY(viaCompanion);
        QCOMPARE(viaCompanion->invoice, std::optional(expected));
    }

private:
    ExtractionResult extract(const QString &path) { return awaitTask(ContentExtraction::extractFileContext(path)); }

    QTemporaryDir m_dir;
};

QTEST_MAIN(TestEInvoice)
#include "tst_einvoice.moc"
