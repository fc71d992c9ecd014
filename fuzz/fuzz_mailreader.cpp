#include "common/unicodetext.h"
#include "extraction/documents/mailreader.h"
#include "extraction/filecontext.h"

#include <glib.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A failed GMime precondition is a call of ours that is wrong for some input.
    static const bool fatal = (g_log_set_always_fatal(GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR)), true);
    Q_UNUSED(fatal);
    const MailReader::Mail mail = MailReader::read(QByteArrayView(data, qsizetype(size)));
    if (UnicodeText::graphemeCount(mail.text) > TextLimits::Document)
        std::abort();
    if (mail.metadata.value(QStringLiteral("source")) != u"eml" || mail.metadata.size() > 6)
        std::abort();
    return 0;
}
