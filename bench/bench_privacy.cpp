// Time per file of the privacy filter on a 2,000-character excerpt (a German invoice with IBANs,
// a tax ID, phone numbers, e-mail addresses, the user's name and address, and many dates and
// amounts), with and without the user's own details to look for.
//
// Baseline, measured in the same run: QString::toLower over the same excerpt, a pass every file's
// text costs anyway. The absolute figure is checked against the target of 1 ms per file.
#include "privacy/privacyfilter.h"

#include "benchexcerpt.h"
#include "benchtiming.h"

#include <cstdio>
#include <cstdlib>

namespace {

QString sampleExcerpt()
{
    return invoiceExcerpt(QStringLiteral(
        "STADTWERKE MÜNCHEN GmbH · Emmy-Noether-Straße 2 · 80992 München · Tel. 089 2361-0\n"
        "Frau Anna Schneider, Lindenstraße 88, 80331 München\n"
        "Rechnung Nr. RE-2024-00123 vom 15. März 2024, Kundennummer 123456789, Steuer-ID 86 095 742 719\n"
        "Abbuchung von DE89 3704 0044 0532 0130 00 am 29.03.2024; Rückfragen an service@swm.de oder "
        "+49 89 2361 5000, Ihre Rufnummer 0171 1234567.\n"));
}

} // namespace

int main(int argc, char *argv[])
{
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 2000;
    const QString excerpt = sampleExcerpt();
    const Privacy::MaskOptions own{
        {QStringLiteral("Anna Schneider"), QStringLiteral("Lindenstraße 88"), QStringLiteral("80331 München")}};

    const double baseline = nanosecondsPerCall(iterations * 10, [&] { g_sink = g_sink + excerpt.toLower().size(); });
    const double patterns =
        nanosecondsPerCall(iterations, [&] { g_sink = g_sink + Privacy::mask(excerpt).spans.size(); });
    const double withOwn =
        nanosecondsPerCall(iterations, [&] { g_sink = g_sink + Privacy::mask(excerpt, own).spans.size(); });

    std::printf("excerpt: %lld characters, %lld spans masked\n", static_cast<long long>(excerpt.size()),
                static_cast<long long>(Privacy::mask(excerpt, own).spans.size()));
    std::printf("mask, patterns only:        %7.1f us per file (target < 1000 us), %5.1f x baseline\n", patterns / 1000,
                patterns / baseline);
    std::printf("mask, with 3 own details:   %7.1f us per file (target < 1000 us), %5.1f x baseline\n", withOwn / 1000,
                withOwn / baseline);
    std::printf("baseline (QString::toLower): %6.1f us per file\n", baseline / 1000);
    return std::max(patterns, withOwn) < 1'000'000 ? 0 : 1;
}
