#pragma once

// Helpers shared by the extraction, grounding and on-device naming tests: files in a temporary folder (plain,
// ZIP, PDF), random bytes, the German invoice line rendered as a page at 300 dpi, how far recognised text is
// from it, and an e-invoice.

#include "editdistance.h"

#include <QtGui>
#include <QtTest>

#include <algorithm>

#include <zip.h>

namespace ExtractionTestKit {

inline const QString Invoice =
    QStringLiteral("Rechnung Nr. 4711 vom 15.03.2024, Telekom Deutschland GmbH, Betrag 49,99 EUR");

// Writes `bytes` to `path`, making its folder; the path, or an empty string when that fails.
inline QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

// The members' bytes must stay alive until zip_close reads them.
inline QString writeZip(const QString &path, const QList<QPair<const char *, QByteArray>> &members)
{
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    for (const auto &[name, bytes] : members)
        zip_file_add(archive, name, zip_source_buffer(archive, bytes.constData(), zip_uint64_t(bytes.size()), 0), 0);
    return archive && zip_close(archive) == 0 ? path : QString();
}

// A PDF page: side-by-side columns of text lines over an optional full-page picture.
struct PdfPage {
    QList<QStringList> columns;
    QImage picture = {};
};

// A4 pages at 300 dpi without margins, text in 11 pt, one line per 60 dots from (200, 160); the path.
inline QString writePdf(const QString &path, const QList<PdfPage> &pages)
{
    QPdfWriter writer(path);
    writer.setResolution(300);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
    for (qsizetype page = 0; page < pages.size(); ++page) {
        if (page > 0)
            writer.newPage();
        const auto &[columns, picture] = pages[page];
        if (!picture.isNull())
            painter.drawImage(QRect(0, 0, writer.width(), writer.height()), picture);
        for (qsizetype c = 0; c < columns.size(); ++c)
            for (qsizetype line = 0; line < columns[c].size(); ++line)
                painter.drawText(
                    QPoint(200 + int(c) * (writer.width() - 400) / int(columns.size()), 160 + int(line) * 60),
                    columns[c][line]);
    }
    return path;
}

inline QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// An A4-wide page at 300 dpi, `height` pixels tall, with the invoice line in 12 pt, wrapped; only pixels.
inline QImage invoicePage(int height = 3508)
{
    QImage image(2480, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(50);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(200, 250, 2000, 300), Qt::TextWordWrap, Invoice);
    return image;
}

// At least 95 % of the invoice line's characters right: few enough edits (Levenshtein) to turn the
// recognised text, whitespace simplified, into it.
inline bool invoiceRecognised(const QString &recognised)
{
    return editDistance(recognised.simplified(), Invoice) <= Invoice.size() / 20;
}

// A CII invoice as Factur-X writes it. Ahead of the seller, a line item has a name and a line
// total; buyer and payee have names and a VAT ID of their own; the amount due differs from the
// grand total by a prepayment. `due` false leaves the amount due out.
inline QByteArray ciiInvoice(const QString &typeCode = QStringLiteral("380"), bool due = true)
{
    return QString(R"(<?xml version="1.0" encoding="UTF-8"?>
<rsm:CrossIndustryInvoice xmlns:rsm="urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"
    xmlns:ram="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100"
    xmlns:udt="urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100">
  <rsm:ExchangedDocumentContext>
    <ram:GuidelineSpecifiedDocumentContextParameter><ram:ID>urn:cen.eu:en16931:2017</ram:ID></ram:GuidelineSpecifiedDocumentContextParameter>
  </rsm:ExchangedDocumentContext>
  <rsm:ExchangedDocument>
    <ram:ID>RE-2024-4711</ram:ID>
    <ram:TypeCode>%1</ram:TypeCode>
    <ram:IssueDateTime><udt:DateTimeString format="102">20240315</udt:DateTimeString></ram:IssueDateTime>
    <ram:IncludedNote><ram:Content>Vielen Dank für Ihren Auftrag.</ram:Content></ram:IncludedNote>
  </rsm:ExchangedDocument>
  <rsm:SupplyChainTradeTransaction>
    <ram:IncludedSupplyChainTradeLineItem>
      <ram:AssociatedDocumentLineDocument><ram:LineID>1</ram:LineID></ram:AssociatedDocumentLineDocument>
      <ram:SpecifiedTradeProduct><ram:Name>Mobilfunk Tarif M</ram:Name></ram:SpecifiedTradeProduct>
      <ram:SpecifiedLineTradeSettlement>
        <ram:SpecifiedTradeSettlementLineMonetarySummation><ram:LineTotalAmount>42.01</ram:LineTotalAmount></ram:SpecifiedTradeSettlementLineMonetarySummation>
      </ram:SpecifiedLineTradeSettlement>
    </ram:IncludedSupplyChainTradeLineItem>
    <ram:ApplicableHeaderTradeAgreement>
      <ram:SellerTradeParty>
        <ram:Name>Telekom Deutschland GmbH</ram:Name>
        <ram:SpecifiedLegalOrganization><ram:TradingBusinessName>Telekom</ram:TradingBusinessName></ram:SpecifiedLegalOrganization>
        <ram:SpecifiedTaxRegistration><ram:ID schemeID="FC">205/113/40209</ram:ID></ram:SpecifiedTaxRegistration>
        <ram:SpecifiedTaxRegistration><ram:ID schemeID="VA">DE123475223</ram:ID></ram:SpecifiedTaxRegistration>
      </ram:SellerTradeParty>
      <ram:BuyerTradeParty>
        <ram:Name>Muster AG</ram:Name>
        <ram:SpecifiedTaxRegistration><ram:ID schemeID="VA">DE999999999</ram:ID></ram:SpecifiedTaxRegistration>
      </ram:BuyerTradeParty>
    </ram:ApplicableHeaderTradeAgreement>
    <ram:ApplicableHeaderTradeDelivery/>
    <ram:ApplicableHeaderTradeSettlement>
      <ram:InvoiceCurrencyCode>EUR</ram:InvoiceCurrencyCode>
      <ram:PayeeTradeParty><ram:Name>Inkasso Nord GmbH</ram:Name></ram:PayeeTradeParty>
      <ram:SpecifiedTradeSettlementHeaderMonetarySummation>
        <ram:LineTotalAmount>42.01</ram:LineTotalAmount>
        <ram:TaxBasisTotalAmount>42.01</ram:TaxBasisTotalAmount>
        <ram:TaxTotalAmount currencyID="EUR">7.98</ram:TaxTotalAmount>
        <ram:GrandTotalAmount>49.99</ram:GrandTotalAmount>
        <ram:TotalPrepaidAmount>10.00</ram:TotalPrepaidAmount>
        %2
      </ram:SpecifiedTradeSettlementHeaderMonetarySummation>
    </ram:ApplicableHeaderTradeSettlement>
  </rsm:SupplyChainTradeTransaction>
</rsm:CrossIndustryInvoice>
)")
        .arg(typeCode, due ? "<ram:DuePayableAmount>39.99</ram:DuePayableAmount>" : "")
        .toUtf8();
}

} // namespace ExtractionTestKit
