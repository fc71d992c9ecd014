#pragma once

#include "extraction/fileprocessor.h"

/** Word and Excel packages: the text runs of word/document.xml, the shared strings of xl/sharedStrings.xml. */
class OfficeProcessor final : public ExtensionProcessor
{
public:
    OfficeProcessor();

    [[nodiscard]] ExtractionResult extract(const QString &path) const override;
};
