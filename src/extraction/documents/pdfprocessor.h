#pragma once

#include "extraction/fileprocessor.h"

/** PDF text layer of the first ten pages; recognition of page 1 when that text is too thin. */
class PDFProcessor final : public ExtensionProcessor
{
public:
    PDFProcessor();

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;
};
