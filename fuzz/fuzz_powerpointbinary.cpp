#include "extraction/documents/binaryoffice.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr qsizetype MaxLength = 4096;
    // The first byte says how many of the following bytes are the "Current User" stream.
    const QByteArrayView input(data, qsizetype(size));
    const qsizetype userSize = input.isEmpty() ? 0 : std::min<qsizetype>(uchar(input[0]), input.size() - 1);
    const QByteArrayView user = input.sliced(std::min<qsizetype>(1, input.size()), userSize);
    const QByteArrayView document = input.sliced(std::min<qsizetype>(1, input.size()) + userSize);
    if (BinaryOffice::presentationText(document, user, MaxLength).size() > MaxLength)
        std::abort();
    return 0;
}
