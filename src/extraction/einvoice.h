#pragma once

#include <QDate>
#include <QString>

#include <optional>

/**
 * The data of an electronic invoice as the file itself states it: an invoice XML (UN/CEFACT CII
 * `CrossIndustryInvoice`, or UBL `Invoice`/`CreditNote`), on its own or attached to a hybrid PDF.
 * Read inside the extraction helper; every field is what the XML says, nothing is guessed.
 */
struct EInvoice {
    enum class Syntax { cii, ubl };

    Syntax syntax = Syntax::cii;
    QString number;                   ///< the invoice number
    std::optional<QDate> issueDate;   ///< the invoice date
    QString typeCode;                 ///< UNTDID 1001: "380" invoice, "381" credit note, …
    QString sellerName;               ///< the seller's name as registered
    QString sellerVatId;              ///< "DE123456789"; empty when not given
    std::optional<qint64> totalCents; ///< the amount due; the grand total when no amount due is given
    QString currency;                 ///< ISO 4217, e.g. "EUR"
    QString attachmentName;           ///< the PDF attachment it came from ("factur-x.xml"); empty for an XML file

    [[nodiscard]] bool isCreditNote() const { return typeCode == u"381"; }
    /** Seller, date and total are all there: enough to name the file without anyone else. */
    [[nodiscard]] bool isComplete() const { return !sellerName.isEmpty() && issueDate && totalCents; }

    friend bool operator==(const EInvoice &, const EInvoice &) = default;
};
