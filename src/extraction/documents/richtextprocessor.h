#pragma once

#include "extraction/fileprocessor.h"

/** RTF files and RTFD bundles (their TXT.rtf) as plain text. */
class RichTextProcessor final : public ExtensionProcessor
{
public:
    RichTextProcessor();

    /** An RTFD bundle is a folder whose text lives in its TXT.rtf, next to its attachments. */
    [[nodiscard]] QString contentPath(const QString &path) const override;

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;
};
