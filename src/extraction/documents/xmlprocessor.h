#pragma once

#include "extraction/fileprocessor.h"

/**
 * XML files. An e-invoice (CII or UBL, recognised by its root element) gives its invoice data
 * and, as text, a German summary of it followed by the document's own character data, with
 * "source" "einvoice"; any other XML is read as plain text, exactly as the generic processor
 * reads it.
 */
class XMLProcessor final : public ExtensionProcessor
{
public:
    static inline const QString InvoiceSource = QStringLiteral("einvoice");

    XMLProcessor();

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;
};
