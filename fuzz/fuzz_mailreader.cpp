#include "common/unicodetext.h"
#include "extraction/documents/emailexcerpt.h"
#include "extraction/filecontext.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The processor hands over only messages that decode as UTF-8.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString message = decoder(QByteArrayView(data, qsizetype(size)));
    if (decoder.hasError())
        return 0;
    const EmailExcerpt excerpt = EmailExcerpt::fromMessage(message);
    if (UnicodeText::graphemeCount(excerpt.text) > TextLimits::Document)
        std::abort();
    if (excerpt.metadata.value(QStringLiteral("source")) != u"eml" || excerpt.metadata.size() > 5)
        std::abort();
    return 0;
}
