#pragma once

#include "extraction/einvoice.h"

#include <QByteArray>
#include <QString>

#include <optional>

/**
 * Reads the invoice data of an e-invoice XML: UN/CEFACT CII (`CrossIndustryInvoice`, as in
 * Factur-X, ZUGFeRD 2 and XRechnung; the older ZUGFeRD 1 `CrossIndustryDocument` too) and UBL
 * (`Invoice`, `CreditNote`). The syntax is told by the root element's namespace and name; each
 * field is taken only at its place in the document header (namespace URI and local name along
 * the path from the root, so any prefix works), never from a buyer, payee or invoice line.
 *
 * Bounded: a document over MaxBytes is refused unread, and one with a document type declaration
 * is refused before any entity could be declared, let alone expanded (invoices have none).
 */
namespace EInvoiceReader {

/** An invoice XML with an embedded PDF rendering can be a few megabytes; no invoice is larger. */
inline constexpr qsizetype MaxBytes = 8 * 1024 * 1024;

enum class Status {
    invoice,    ///< an invoice was read
    tooLarge,   ///< over MaxBytes: not read at all
    notInvoice, ///< well-formed so far, but the root is no invoice, or nothing of one is found in it
    doctype,    ///< a document type declaration: refused
    malformed,  ///< not well-formed XML, or cut short
};

struct Reading {
    EInvoice invoice;
    /** The document's character data in order, one space between elements (embedded binaries left out). */
    QString text;
};

/**
 * Reads the invoice in `xml` into `reading` (left as it is unless the status is `invoice`).
 * `maxTextLength` bounds `Reading::text` in UTF-16 units (0: no text is collected). Only a
 * whole, well-formed document gives an invoice: a truncated one gives none.
 */
[[nodiscard]] Status read(const QByteArray &xml, Reading &reading, qsizetype maxTextLength = 0);

/** Whether `xml` starts like an invoice: its root element is one of the invoice roots. */
[[nodiscard]] bool hasInvoiceRoot(const QByteArray &xml);

/**
 * An amount in cents from an XML decimal ("1234.5", "-0.99", "+12"); more than two decimal
 * places are rounded half away from zero. nullopt for anything else ("49,99", "1e3", "").
 */
[[nodiscard]] std::optional<qint64> centsOf(QStringView decimal);

/**
 * A German summary of the invoice, one fact a line: kind, number and date; seller and VAT ID;
 * amount and currency ("Rechnung 4711 vom 15.03.2024", "Verkäufer: …", "Betrag: 49,99 EUR").
 */
[[nodiscard]] QString summary(const EInvoice &invoice);

} // namespace EInvoiceReader
