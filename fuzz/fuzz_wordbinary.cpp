#include "extraction/documents/binaryoffice.h"

#include <cstdint>
#include <cstdlib>

// The first two bytes give the size of the WordDocument stream that follows; the rest is the table stream.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr qsizetype MaxLength = 4096;
    if (size < 2)
        return 0;
    const QByteArrayView input(data + 2, qsizetype(size - 2));
    const qsizetype split = std::min<qsizetype>(data[0] | data[1] << 8, input.size());
    const QByteArrayView table = input.sliced(split);
    if (BinaryOffice::wordText(input.first(split), table, table, MaxLength).size() > MaxLength)
        std::abort();
    return 0;
}
