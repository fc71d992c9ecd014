#include "extraction/documents/htmlcharset.h"
#include "extraction/documents/htmltext.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr qsizetype MaxLength = 4096;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // Any bytes: the declaration scan and the converters must cope.
    const QString html = HTMLCharset::decode(bytes, size % 2 == 0);

    const std::optional<HTMLText::Page> page = HTMLText::read(html.toUtf8(), MaxLength);
    if (!page || page->text.size() > MaxLength)
        std::abort();
    return 0;
}
