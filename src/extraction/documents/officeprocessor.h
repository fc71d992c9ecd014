#pragma once

#include "extraction/fileprocessor.h"

/**
 * Office packages, read as ZIP archives of XML parts: Word (the paragraphs of
 * word/document.xml, else of its headers and footers), Excel (shared strings, then the inline
 * strings of the sheets), PowerPoint (slides with their notes, see PresentationPackage) and
 * OpenDocument text, spreadsheets and presentations with their templates (the paragraphs of
 * content.xml).
 */
class OfficeProcessor final : public ExtensionProcessor
{
public:
    OfficeProcessor();

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;
};
