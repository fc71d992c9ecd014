#pragma once

#include "extraction/filecontext.h"
#include "extraction/metadatamap.h"

class SourceFile;

/**
 * "size" and "type" from a file's attributes: all that is said of a file whose content is not
 * read (a link, FIFO, device or system file), and what the generic processor adds to any file.
 */
namespace FileDescription {

/** Of an open file through its descriptor, else of what is at its path (a link is not followed); empty when neither can
 * be read. */
[[nodiscard]] MetadataMap of(const SourceFile &file);

/** A context with nothing but that description, for what is at `path`; nothing is opened. */
[[nodiscard]] FileContext describe(const QString &path);

} // namespace FileDescription
