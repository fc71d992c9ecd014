#pragma once

#include "ai/aisettings.h"
#include "ai/filekeychain.h"
#include "ai/providerfactory.h"
#include "ai/usageledger.h"
#include "awaittask.h"
#include "companion/kvxclient.h"
#include "engine/renameengine.h"
#include "llmstub.h"
#include "naming/renamerules.h"
#include "settings/defaultsstore.h"
#include "settings/generalflags.h"

#include <QtNetwork>
#include <QtTest>

/**
 * Settings in memory, keys in a private file, the terms accepted, and OpenAI (key "sk-test") pointed at a loopback LLM
 * stub; Korvex off. What provider and engine tests share; members are destroyed in reverse order.
 */
struct ProviderFixture {
    LlmStub llm;
    DefaultsStore defaults;
    QTemporaryDir secrets;
    FileKeychain keychain{secrets.filePath("credentials.json")};
    AISettings settings{defaults, keychain};
    UsageLedger ledger{defaults, settings};
    RenameRules rules{defaults};
    QNetworkAccessManager network;

    ProviderFixture()
    {
        llm.listen();
        defaults.setBool("kvx.enabled", false);
        // A profile whose user accepted the terms; tests of the time before write the flag back.
        GeneralFlags::acceptLegal(defaults, QDateTime::currentDateTimeUtc());
        settings.setProvider(AIProviderType::openai);
        settings.setEndpoint(llm.baseUrl());
        awaitTask(settings.setApiKey("sk-test"));
    }

    ProviderEnvironment environment(std::optional<int> timeoutMs = std::nullopt)
    {
        return ProviderEnvironment{settings, ledger, rules, network, timeoutMs};
    }
};

struct EngineFixture : ProviderFixture {
    KVXClient companion{defaults};

    RenameEngine::Services services()
    {
        return {settings,
                ledger,
                rules,
                companion,
                network,
                defaults,
                [this] { return makeProvider(std::nullopt, environment()); }};
    }

    std::unique_ptr<RenameEngine> makeEngine() { return std::make_unique<RenameEngine>(services()); }
};
