#pragma once

#include "extraction/fileprocessor.h"

/** Selected headers and the start of the body of an e-mail message file. */
class EmailProcessor final : public ExtensionProcessor
{
public:
    EmailProcessor();

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;
};
