#include "extraction/documents/rtfreader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr qsizetype MaxLength = 4096;
    const QByteArray rtf = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = RTFReader::plainText(rtf, MaxLength);
    if (text.size() > MaxLength)
        std::abort();
    return 0;
}
