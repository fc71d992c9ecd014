#pragma once

#include "extraction/fileprocessor.h"

/** An e-mail message file (.eml) or the first message of an mbox file, read by MailReader. */
class EmailProcessor final : public ExtensionProcessor
{
public:
    EmailProcessor();

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;
};
