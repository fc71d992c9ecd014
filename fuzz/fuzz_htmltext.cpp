#include "common/icuregex.h"
#include "extraction/documents/htmlcharset.h"
#include "extraction/documents/htmltext.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr qsizetype MaxLength = 4096;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // Any bytes: the declaration scan and the converters must cope.
    (void)HTMLCharset::decode(bytes, size % 2 == 0);

    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString html = decoder(bytes);
    if (decoder.hasError())
        return 0;

    const std::optional<QString> text = HTMLText::visibleText(bytes, MaxLength);
    if (!text || text->size() > MaxLength)
        std::abort();

    // The linear title scan must agree with the regular expression it replaces.
    std::optional<QString> expected = IcuRegex::firstMatch(QStringLiteral("<title>(.+?)</title>"), html);
    if (expected)
        expected->remove(QStringLiteral("<title>")).remove(QStringLiteral("</title>"));
    if (HTMLText::title(html) != expected)
        std::abort();
    return 0;
}
