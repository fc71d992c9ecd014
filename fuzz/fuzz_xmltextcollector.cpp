#include "extraction/documents/xmltextcollector.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr qsizetype MaxLength = 4096;
    const QByteArray xml(reinterpret_cast<const char *>(data), qsizetype(size));
    const XMLTextMarkup word{{QStringLiteral("w:t")}, {QStringLiteral("w:p")}, {QStringLiteral("w:tab")}};
    const XMLTextMarkup openDocument{
        {QStringLiteral("text:p")}, {QStringLiteral("text:p")}, {QStringLiteral("text:s")}};
    for (const XMLTextMarkup &markup : {word, openDocument}) {
        // Each collected text adds at most one joining space beyond the bound.
        XMLTextCollector collector(markup, MaxLength);
        collector.setLeadBlock(
            {QStringLiteral("w:p"), QStringLiteral("w:t"), QStringLiteral("type"), {QStringLiteral("title")}});
        collector.parse(xml);
        if (collector.texts().join(u' ').size() > MaxLength + collector.texts().size())
            std::abort();
    }
    return 0;
}
