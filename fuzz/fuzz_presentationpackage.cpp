#include "extraction/documents/presentationpackage.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr qsizetype MaxLength = 4096;
    const QByteArray archive = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    if (PresentationPackage::text(archive, MaxLength).size() > MaxLength)
        std::abort();
    return 0;
}
