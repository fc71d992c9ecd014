#pragma once

#include "extraction/fileprocessor.h"

/** The visible text of an HTML page, and its title. */
class HTMLProcessor final : public ExtensionProcessor
{
public:
    HTMLProcessor();

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;
};
