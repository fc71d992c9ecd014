#pragma once

#include "ai/aiprovidertype.h"

#include <QList>
#include <QString>

/** What Namorix knows of one provider, kept in one place instead of asked of its name. */
struct ProviderFacts {
    AIProviderType type;
    QString displayName;     ///< as the window shows it ("Auf diesem Gerät" for the on-device namer)
    bool needsKey;           ///< refuses to run without an API key
    bool paidCloud;          ///< a cloud service billed per token: usage, prices, budget, masking on by default
    bool runsHere;           ///< nothing leaves the machine and nothing is asked over the network
    bool available;          ///< can run on Linux at all (the other platform's on-device model cannot)
    bool offered;            ///< listed in the window's pickers
    QString defaultModel;    ///< empty when the provider has no model to choose
    QString defaultEndpoint; ///< the public API origin (no path, no trailing slash); empty when none
};

namespace ProviderCatalogue {

[[nodiscard]] const ProviderFacts &facts(AIProviderType type);
/** The providers the window offers, in picker order. */
[[nodiscard]] QList<AIProviderType> offered();

} // namespace ProviderCatalogue
