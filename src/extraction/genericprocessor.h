#pragma once

#include "extraction/fileprocessor.h"

/**
 * Every file no other processor takes: "size" and "type" metadata, and the text of plain-text
 * formats. Reads at most the first 8 MiB of a file, cut back to a whole UTF-8 character, so a
 * multi-gigabyte log is judged by its start instead of being loaded whole. Never fails.
 */
class GenericProcessor final : public FileProcessor
{
public:
    static constexpr qint64 MaxTextBytes = 8 * 1024 * 1024;

    [[nodiscard]] bool canProcess(const QString &) const override { return true; }
    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;

    /** The first `MaxTextBytes` of the file as UTF-8 text; nullopt when unreadable or not UTF-8. */
    [[nodiscard]] static std::optional<QString> readTextPrefix(const SourceFile &file);
};
