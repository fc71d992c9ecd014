#pragma once

#include "extraction/fileprocessor.h"

/**
 * Word, Excel and PowerPoint files of the 97-2003 formats and their templates: compound files
 * (OLE2) opened in memory with libgsf, their streams read by BinaryOffice. A Word file that is
 * really RTF, as some programs save it, is read as RTF.
 */
class BinaryOfficeProcessor final : public ExtensionProcessor
{
public:
    BinaryOfficeProcessor();

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;
};
