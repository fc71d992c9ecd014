// Time per file of the grounding check on a 2,000-character excerpt (a German invoice), once with
// every field backed by the text and once with every field wrong (each search runs to the end).
//
// Baseline, measured in the same run: the naive check — QString::contains of each value as the
// model wrote it, case-insensitive, no forms, no folding — and, for scale, buildFileName, which
// every file costs anyway. The absolute figure is checked against the target of 1 ms per file.
#include "grounding/groundingcheck.h"
#include "naming/namebuilder.h"
#include "naming/renamerules.h"
#include "settings/defaultsstore.h"

#include "benchexcerpt.h"
#include "benchtiming.h"

#include <cstdio>
#include <cstdlib>

namespace {

QString sampleExcerpt()
{
    return invoiceExcerpt(QStringLiteral("STADTWERKE MÜNCHEN GmbH · Emmy-Noether-Straße 2 · 80992 München\n"
                                         "Rechnung Nr. 2024-031-4711 vom 15. März 2024\nKundennummer 10 2345 678\n"
                                         "Gesamtbetrag 1.234,56 EUR, zahlbar bis 29.03.2024.\n"));
}

} // namespace

int main(int argc, char *argv[])
{
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 2000;
    DefaultsStore store; // in memory: the defaults
    const RenameRules rules(store);
    const QStringList categories = rules.categories();
    const QString excerpt = sampleExcerpt();
    const QDate today(2025, 1, 1);
    const AIExtraction backed{QStringLiteral("2024-03-15"), QStringLiteral("rechnung"),
                              QStringLiteral("Strom März"), QStringLiteral("Stadtwerke München"),
                              QStringLiteral("1234.56"),    0.9};
    const AIExtraction wrong{QStringLiteral("2024-03-16"), QStringLiteral("urlaub"),
                             QStringLiteral("Strom März"), QStringLiteral("Vodafone Kabel Deutschland"),
                             QStringLiteral("4321.65"),    0.9};

    const double baseline = nanosecondsPerCall(iterations * 10, [&] {
        for (const std::optional<QString> *value : {&backed.datum, &backed.betrag, &backed.absender, &backed.kategorie})
            g_sink = g_sink + excerpt.contains(**value, Qt::CaseInsensitive);
    });
    const double naming = nanosecondsPerCall(iterations * 10, [&] {
        g_sink = g_sink + NameBuilder::buildFileName(backed, rules, QStringLiteral("pdf")).size();
    });
    const double checkBacked = nanosecondsPerCall(iterations, [&] {
        g_sink = g_sink + Grounding::check(backed, categories, {.text = excerpt}, today).fields.size();
    });
    const double checkWrong = nanosecondsPerCall(iterations, [&] {
        g_sink = g_sink + Grounding::check(wrong, categories, {.text = excerpt}, today).unverified().size();
    });

    std::printf("excerpt: %lld characters\n", static_cast<long long>(excerpt.size()));
    std::printf("check, all fields backed:  %7.1f us per file (target < 1000 us)\n", checkBacked / 1000);
    std::printf("check, all fields wrong:   %7.1f us per file (target < 1000 us)\n", checkWrong / 1000);
    std::printf("baseline (naive contains): %7.1f us per file\n", baseline / 1000);
    std::printf("buildFileName, for scale:  %7.1f us per file\n", naming / 1000);
    return std::max(checkBacked, checkWrong) < 1'000'000 ? 0 : 1;
}
