#include "extraction/documents/binaryoffice.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr qsizetype MaxLength = 4096;
    if (BinaryOffice::workbookText(QByteArrayView(data, qsizetype(size)), MaxLength).size() > MaxLength)
        std::abort();
    return 0;
}
