// Time per name of buildFileName on the preview sample with the default rules.
//
// Baseline, measured in the same run: the naive builder — the sample's fields joined with the
// separator and lower-cased with QString, no rules, no Unicode clusters, no regular
// expressions. The ratio says what the full rule pipeline costs on top; the absolute figure
// is checked against the target of 10 µs per name.
#include "naming/aiextraction.h"
#include "naming/namebuilder.h"
#include "naming/renamerules.h"
#include "settings/defaultsstore.h"

#include "benchtiming.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 200000;
    DefaultsStore store; // in memory: the defaults
    const RenameRules rules(store);
    const AIExtraction sample = NameBuilder::previewSample();
    const QString extension = QStringLiteral("pdf");

    const double baseline = nanosecondsPerCall(iterations, [&] {
        const QString name = (*sample.datum + u'_' + *sample.kategorie + u'_' + sample.beschreibung).toLower();
        g_sink = g_sink + (name + u'.' + extension).size();
    });
    const double build = nanosecondsPerCall(
        iterations, [&] { g_sink = g_sink + NameBuilder::buildFileName(sample, rules, extension).size(); });

    std::printf("buildFileName (preview sample, default rules): %.2f us per name (target < 10 us)\n", build / 1000);
    std::printf("baseline (naive join + toLower):               %.2f us per name\n", baseline / 1000);
    std::printf("ratio buildFileName / baseline:                %.1fx\n", build / baseline);
    return build < 10000 ? 0 : 1;
}
