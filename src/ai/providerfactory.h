#pragma once

#include "ai/aiprovidertype.h"
#include "ai/httpprovider.h"

#include <memory>
#include <optional>

/** A fresh client for `type`, or for the provider selected in the settings when absent. */
[[nodiscard]] std::unique_ptr<AIProvider> makeProvider(std::optional<AIProviderType> type,
                                                       ProviderEnvironment environment = ProviderEnvironment::shared());
