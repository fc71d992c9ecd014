#include "extraction/documents/xmltextcollector.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr qsizetype MaxLength = 4096;
    const QByteArray xml(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString tagName : {QStringLiteral("w:t"), QStringLiteral("t")}) {
        // Each collected text adds at most one joining space beyond the bound.
        XmlTextCollector collector(tagName, MaxLength);
        collector.parse(xml);
        if (collector.texts().join(u' ').size() > MaxLength + collector.texts().size())
            std::abort();
    }
    return 0;
}
