#pragma once

#include "extraction/documents/htmltext.h"
#include "extraction/fileprocessor.h"

#include <QByteArrayView>

/** The visible text of an HTML page, and its title. */
class HTMLProcessor final : public ExtensionProcessor
{
public:
    HTMLProcessor();

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;

    /**
     * The page in `bytes`, decoded as the HTML standard says (`complete`: they are the whole
     * file, not its first part): its visible text and its title. Without a parse, the tags are
     * stripped.
     */
    [[nodiscard]] static HTMLText::Page page(const QByteArray &bytes, bool complete);

    /** Whether `bytes` start as an HTML page or table does, whatever the file is called. */
    [[nodiscard]] static bool looksLikeHtml(QByteArrayView bytes);
};
