#include "api/configendpoints.h"

#include "ai/aisettings.h"
#include "ai/providercatalogue.h"
#include "api/handlerkit.h"
#include "automation/watchedfolders.h"
#include "automation/watchrouter.h"
#include "common/rawenum.h"
#include "common/stringtable.h"
#include "companion/kvxclient.h"
#include "naming/namebuilder.h"
#include "naming/namingtemplates.h"
#include "naming/renamerules.h"
#include "settings/appsettings.h"
#include "settings/defaultsstore.h"
#include "settings/generalflags.h"
#include "store/objectstore.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace HandlerKit;

namespace {

// ---- watched folders

QList<WatchedFolder> allFolders(const ObjectStore &store)
{
    return store.fetchFolders().value_or(QList<WatchedFolder>());
}

/** 409 for a folder already watched, 404 for one that is not, 500 for the store. */
APIResponse folderFailure(const WatchedFolders::Failure &failure)
{
    using Code = WatchedFolders::Failure::Code;
    return APIResponse::error(failure.code == Code::alreadyWatched ? 409
                              : failure.code == Code::notFound     ? 404
                                                                   : 500,
                              failure.code == Code::notFound ? QStringLiteral("not found") : failure.message);
}

APIResponse addFolder(const APIContext &context, const APIRequest &request)
{
    const std::optional<QString> path = string(request.body, QStringLiteral("path"));
    if (!path)
        return APIResponse::error(400, QStringLiteral("missing path"));
    if (std::optional<APIResponse> problem = pathProblem(*path))
        return *problem;
    if (!context.store)
        return noDataContext();
    const auto added =
        WatchedFolders::add(*context.store, *path, boolean(request.body, QStringLiteral("autoRename")).value_or(false));
    if (!added)
        return folderFailure(added.error());
    return APIResponse::json({{QStringLiteral("ok"), true}, {QStringLiteral("path"), *path}});
}

APIResponse listFolders(const APIContext &context)
{
    if (!context.store)
        return noDataContext();
    QJsonArray watched;
    for (const WatchedFolder &folder : allFolders(*context.store)) {
        QJsonObject entry{{QStringLiteral("path"), folder.path},
                          {QStringLiteral("active"), folder.isActive},
                          {QStringLiteral("autoRename"), folder.autoRename}};
        if (folder.templateName)
            entry.insert(QStringLiteral("templateName"), *folder.templateName);
        watched.append(entry);
    }
    return APIResponse::json({{QStringLiteral("watched"), watched}, {QStringLiteral("count"), watched.size()}});
}

APIResponse updateFolder(const APIContext &context, const APIRequest &request, const QString &id)
{
    const std::optional<QString> newPath = string(request.body, QStringLiteral("path"));
    if (std::optional<APIResponse> problem = newPath ? pathProblem(*newPath) : std::nullopt)
        return *problem;
    if (!context.store)
        return noDataContext();
    const auto changed = WatchedFolders::change(*context.store, id,
                                                {newPath, boolean(request.body, QStringLiteral("active")),
                                                 boolean(request.body, QStringLiteral("autoRename")),
                                                 string(request.body, QStringLiteral("templateName"))});
    if (!changed)
        return folderFailure(changed.error());
    const WatchedFolder &folder = *changed;
    return APIResponse::json(
        {{QStringLiteral("ok"), true},
         {QStringLiteral("path"), folder.path},
         {QStringLiteral("active"), folder.isActive},
         {QStringLiteral("autoRename"), folder.autoRename},
         {QStringLiteral("templateName"), folder.templateName ? QJsonValue(*folder.templateName) : QJsonValue()}});
}

APIResponse deleteFolder(const APIContext &context, const QString &id)
{
    if (!context.store)
        return noDataContext();
    if (const auto removed = WatchedFolders::remove(*context.store, id); !removed)
        return folderFailure(removed.error());
    return APIResponse::json({{QStringLiteral("ok"), true}, {QStringLiteral("deleted"), id}});
}

// ---- naming templates

QList<NamingTemplate> allTemplates(const ObjectStore &store)
{
    return store.fetchTemplates().value_or(QList<NamingTemplate>());
}

QJsonObject templateObject(const NamingTemplate &value)
{
    return QJsonObject{{QStringLiteral("name"), value.name},
                       {QStringLiteral("pattern"), value.pattern},
                       {QStringLiteral("example"), value.example},
                       {QStringLiteral("isDefault"), value.isDefault}};
}

APIResponse listTemplates(const APIContext &context)
{
    if (!context.store)
        return noDataContext();
    QJsonArray templates;
    for (const NamingTemplate &value : allTemplates(*context.store))
        templates.append(templateObject(value));
    return APIResponse::json({{QStringLiteral("templates"), templates}});
}

APIResponse addTemplate(const APIContext &context, const APIRequest &request)
{
    const std::optional<QString> name = string(request.body, QStringLiteral("name"));
    const std::optional<QString> pattern = string(request.body, QStringLiteral("pattern"));
    if (!name || !pattern)
        return APIResponse::error(400, QStringLiteral("missing name/pattern"));
    if (!context.store)
        return noDataContext();
    const NamingTemplate value{0,        *name,
                               *pattern, string(request.body, QStringLiteral("example")).value_or(QString()),
                               false,    QDateTime::currentDateTimeUtc()};
    if (const std::expected<qint64, StoreError> inserted = NamingTemplates::add(*context.store, value); !inserted)
        return storeFailure(inserted.error());
    return APIResponse::json({{QStringLiteral("ok"), true}, {QStringLiteral("name"), *name}});
}

APIResponse updateTemplate(const APIContext &context, const APIRequest &request, const QString &name)
{
    if (!context.store)
        return noDataContext();
    std::optional<NamingTemplate> value = NamingTemplates::named(*context.store, name);
    if (!value)
        return APIResponse::error(404, QStringLiteral("template not found"));
    if (const std::optional<QString> newName = string(request.body, QStringLiteral("name")))
        value->name = *newName;
    if (const std::optional<QString> pattern = string(request.body, QStringLiteral("pattern")))
        value->pattern = *pattern;
    if (const std::optional<QString> example = string(request.body, QStringLiteral("example")))
        value->example = *example;
    const std::optional<bool> isDefault = boolean(request.body, QStringLiteral("isDefault"));
    if (isDefault)
        value->isDefault = *isDefault;
    if (const std::expected<void, StoreError> saved = NamingTemplates::save(*context.store, *value); !saved)
        return storeFailure(saved.error());
    QJsonObject reply = templateObject(*value);
    reply.insert(QStringLiteral("ok"), true);
    return APIResponse::json(reply);
}

APIResponse deleteTemplate(const APIContext &context, const QString &name)
{
    if (!context.store)
        return noDataContext();
    const std::optional<NamingTemplate> value = NamingTemplates::named(*context.store, name);
    if (!value)
        return APIResponse::error(404, QStringLiteral("template not found"));
    if (const std::expected<void, StoreError> removed = NamingTemplates::remove(*context.store, value->id); !removed)
        return storeFailure(removed.error());
    return APIResponse::json({{QStringLiteral("ok"), true}, {QStringLiteral("deleted"), name}});
}

// ---- providers

APIResponse listProviders(const APIContext &context)
{
    const AISettings &settings = context.services.engine.settings;
    QJsonArray providers;
    for (const AIProviderType type : allCases<AIProviderType>()) {
        const bool active = type == settings.provider();
        providers.append(QJsonObject{
            {QStringLiteral("name"), rawValue(type)},
            {QStringLiteral("displayName"), ProviderCatalogue::facts(type).displayName},
            {QStringLiteral("needsKey"), AISettings::needsAPIKey(type)},
            {QStringLiteral("runsHere"), ProviderCatalogue::facts(type).runsHere},
            {QStringLiteral("active"), active},
            {QStringLiteral("model"), active ? settings.effectiveModel() : AISettings::defaultModel(type)}});
    }
    return APIResponse::json(
        {{QStringLiteral("providers"), providers}, {QStringLiteral("current"), rawValue(settings.provider())}});
}

QCoro::Task<APIResponse> selectProvider(const APIContext &context, APIRequest request)
{
    const std::optional<QString> name = string(request.body, QStringLiteral("provider"));
    const std::optional<AIProviderType> type = name ? enumFromRaw<AIProviderType>(*name) : std::nullopt;
    if (!type) {
        co_return APIResponse::error(
            400,
            StringTable::text("api.invalidProvider").arg(allRawValues<AIProviderType>().join(QStringLiteral(", "))));
    }
    AISettings &settings = context.services.engine.settings;
    settings.setProvider(*type);
    if (const std::optional<QString> model = string(request.body, QStringLiteral("model")))
        settings.setModel(*model);
    if (const std::optional<QString> endpoint = string(request.body, QStringLiteral("endpoint")))
        settings.setEndpoint(*endpoint);
    if (const std::optional<bool> mask = boolean(request.body, QStringLiteral("maskPersonalData")))
        settings.setMaskPersonalData(*mask);
    if (const std::optional<QStringList> details = stringList(request.body, QStringLiteral("ownDetails")))
        settings.setOwnDetails(*details);
    if (const std::optional<bool> localFirst = boolean(request.body, QStringLiteral("localFirst")))
        settings.setLocalFirst(*localFirst);
    std::optional<SecretPlacement> placed;
    if (const std::optional<QString> apiKey = string(request.body, QStringLiteral("apiKey"))) {
        QCoro::Task<SecretPlacement> stored = settings.setApiKey(*apiKey);
        placed = co_await std::move(stored);
    }
    if (placed && placed->place == SecretPlacement::Place::nowhere)
        co_return APIResponse::error(500, placed->notice);
    QCoro::Task<bool> configuredCheck = settings.isConfigured();
    const bool configured = co_await std::move(configuredCheck);
    QJsonObject reply{{QStringLiteral("ok"), true},
                      {QStringLiteral("provider"), rawValue(settings.provider())},
                      {QStringLiteral("model"), settings.effectiveModel()},
                      {QStringLiteral("endpoint"), settings.effectiveEndpoint()},
                      {QStringLiteral("configured"), configured},
                      {QStringLiteral("maskPersonalData"), settings.maskPersonalData()},
                      {QStringLiteral("localFirst"), settings.localFirst()},
                      {QStringLiteral("ownDetails"), QJsonArray::fromStringList(settings.ownDetails())}};
    if (placed && placed->place == SecretPlacement::Place::privateFile)
        reply.insert(QStringLiteral("keyNotice"), placed->notice);
    co_return APIResponse::json(reply);
}

// ---- settings

/** The general flags scripts read and change; the other flags belong to the first start. */
constexpr std::array SettableFlags{GeneralFlags::autoRename, GeneralFlags::autoRenameVerifiedOnly,
                                   GeneralFlags::showMenuBar, GeneralFlags::preserveTimestamps};

QJsonObject generalFlags(const DefaultsStore &defaults)
{
    QJsonObject flags;
    for (const BoolFlag &flag : SettableFlags)
        flags.insert(flag.keyString(), flag.read(defaults));
    return flags;
}

QCoro::Task<APIResponse> settings(const APIContext &context)
{
    const APIContext::Services &services = context.services;
    QCoro::Task<bool> availability = services.engine.companion.isAvailable();
    const bool connected = co_await std::move(availability);
    AISettings &ai = services.engine.settings;
    QCoro::Task<bool> configuredCheck = ai.isConfigured();
    const bool configured = co_await std::move(configuredCheck);
    const AppSettings &app = services.appSettings;
    const DefaultsStore &defaults = services.defaults;
    co_return APIResponse::json({
        {QStringLiteral("ai"), QJsonObject{{QStringLiteral("provider"), rawValue(ai.provider())},
                                           {QStringLiteral("model"), ai.effectiveModel()},
                                           {QStringLiteral("endpoint"), ai.effectiveEndpoint()},
                                           {QStringLiteral("configured"), configured}}},
        {QStringLiteral("api"), QJsonObject{{QStringLiteral("enabled"), app.apiEnabled()},
                                            {QStringLiteral("port"), app.apiPort()},
                                            {QStringLiteral("hasToken"), !app.apiToken().isEmpty()}}},
        {QStringLiteral("kvx"),
         QJsonObject{{QStringLiteral("enabled"), app.kvxEnabled()},
                     {QStringLiteral("port"), app.kvxPort()},
                     {QStringLiteral("token"), app.kvxToken().isEmpty() ? QString() : QStringLiteral("***")},
                     {QStringLiteral("connected"), connected}}},
        {QStringLiteral("general"), generalFlags(defaults)},
    });
}

QString flagEntry(const QString &key, bool value)
{
    return key + (value ? QStringLiteral("=true") : QStringLiteral("=false"));
}

APIResponse changeSettings(const APIContext &context, const APIRequest &request)
{
    AppSettings &app = context.services.appSettings;
    DefaultsStore &defaults = context.services.defaults;
    const QJsonObject &body = request.body;
    QStringList changed;
    if (const std::optional<qint64> port = integer(body, QStringLiteral("apiPort"))) {
        app.setApiPort(*port);
        changed << QStringLiteral("apiPort=") + QString::number(*port);
    }
    if (const std::optional<QString> token = string(body, QStringLiteral("apiToken"))) {
        app.setApiToken(*token);
        changed << QStringLiteral("apiToken");
    }
    if (const std::optional<bool> enabled = boolean(body, QStringLiteral("apiEnabled"))) {
        app.setApiEnabled(*enabled);
        changed << flagEntry(QStringLiteral("apiEnabled"), *enabled);
    }
    if (const std::optional<bool> enabled = boolean(body, QStringLiteral("kvxEnabled"))) {
        app.setKvxEnabled(*enabled);
        changed << flagEntry(QStringLiteral("kvxEnabled"), *enabled);
    }
    if (const std::optional<qint64> port = integer(body, QStringLiteral("kvxPort"))) {
        app.setKvxPort(*port);
        changed << QStringLiteral("kvxPort=") + QString::number(*port);
    }
    if (const std::optional<QString> token = string(body, QStringLiteral("kvxToken"))) {
        app.setKvxToken(*token);
        changed << QStringLiteral("kvxToken");
    }
    for (const BoolFlag &flag : SettableFlags) {
        if (const std::optional<bool> value = boolean(body, flag.keyString())) {
            flag.write(defaults, *value);
            changed << flagEntry(flag.keyString(), *value);
        }
    }
    return APIResponse::json(
        {{QStringLiteral("ok"), true}, {QStringLiteral("changed"), QJsonArray::fromStringList(changed)}});
}

// ---- rules

APIResponse rules(const APIContext &context)
{
    const RenameRules &rules = context.services.engine.rules;
    QJsonArray regexRules;
    for (const RegexRule &rule : rules.regexRules()) {
        regexRules.append(QJsonObject{{QStringLiteral("pattern"), rule.pattern},
                                      {QStringLiteral("replacement"), rule.replacement},
                                      {QStringLiteral("enabled"), rule.enabled}});
    }
    return APIResponse::json({{QStringLiteral("format"), rules.format()},
                              {QStringLiteral("dateFormat"), rawValue(rules.dateFormat())},
                              {QStringLiteral("casing"), rawValue(rules.casing())},
                              {QStringLiteral("separator"), rawValue(rules.separator())},
                              {QStringLiteral("prefix"), rules.prefix()},
                              {QStringLiteral("suffix"), rules.suffix()},
                              {QStringLiteral("maxLength"), rules.maxLength()},
                              {QStringLiteral("replaceUmlauts"), rules.replaceUmlauts()},
                              {QStringLiteral("categories"), QJsonArray::fromStringList(rules.categories())},
                              {QStringLiteral("regexRules"), regexRules},
                              {QStringLiteral("preview"), NameBuilder::previewFileName(rules)}});
}

/** Assigns `key` when it holds one of the enum's raw values. */
template <typename E, typename Setter>
void assignRaw(const QJsonObject &body, const QString &key, QStringList &changed, Setter set)
{
    const std::optional<QString> text = string(body, key);
    const std::optional<E> value = text ? enumFromRaw<E>(*text) : std::nullopt;
    if (value) {
        set(*value);
        changed << key;
    }
}

APIResponse changeRules(const APIContext &context, const APIRequest &request)
{
    RenameRules &rules = context.services.engine.rules;
    const QJsonObject &body = request.body;
    // Checked whole before anything changes: what the window refuses is refused here too.
    std::optional<QList<RegexRule>> regexRules;
    if (const QJsonValue value = body.value(QStringLiteral("regexRules")); value.isArray()) {
        // The stored form is the same array, so its decoder is the one conversion of a rule list.
        regexRules = RenameRules::decodeRegexRules(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
        for (const RegexRule &rule : regexRules.value_or(QList<RegexRule>())) {
            if (const std::optional<QString> problem = RenameRules::regexProblem(rule.pattern))
                return APIResponse::error(400, *problem);
        }
    }
    const std::optional<qint64> maxLength = integer(body, QStringLiteral("maxLength"));
    if (const std::optional<QString> problem = maxLength ? RenameRules::maxLengthProblem(*maxLength) : std::nullopt)
        return APIResponse::error(400, *problem);
    QStringList changed;
    if (const std::optional<QString> format = string(body, QStringLiteral("format"))) {
        rules.setFormat(*format);
        changed << QStringLiteral("format");
    }
    assignRaw<DateFormatStyle>(body, QStringLiteral("dateFormat"), changed, [&](auto v) { rules.setDateFormat(v); });
    assignRaw<CasingStyle>(body, QStringLiteral("casing"), changed, [&](auto v) { rules.setCasing(v); });
    assignRaw<SeparatorStyle>(body, QStringLiteral("separator"), changed, [&](auto v) { rules.setSeparator(v); });
    if (const std::optional<QString> prefix = string(body, QStringLiteral("prefix"))) {
        rules.setPrefix(*prefix);
        changed << QStringLiteral("prefix");
    }
    if (const std::optional<QString> suffix = string(body, QStringLiteral("suffix"))) {
        rules.setSuffix(*suffix);
        changed << QStringLiteral("suffix");
    }
    if (maxLength) {
        rules.setMaxLength(*maxLength);
        changed << QStringLiteral("maxLength");
    }
    if (const std::optional<bool> replace = boolean(body, QStringLiteral("replaceUmlauts"))) {
        rules.setReplaceUmlauts(*replace);
        changed << QStringLiteral("replaceUmlauts");
    }
    if (const std::optional<QStringList> categories = stringList(body, QStringLiteral("categories"))) {
        rules.setCategories(*categories);
        changed << QStringLiteral("categories");
    }
    if (regexRules) {
        rules.setRegexRules(*regexRules);
        changed << QStringLiteral("regexRules");
    }
    return APIResponse::json({{QStringLiteral("ok"), true},
                              {QStringLiteral("changed"), QJsonArray::fromStringList(changed)},
                              {QStringLiteral("preview"), NameBuilder::previewFileName(rules)}});
}

} // namespace

QList<APIRoute> configRoutes(APIContext &context)
{
    using Match = APIRoute::Match;
    APIContext *c = &context;
    return {
        {QStringLiteral("POST"), QStringLiteral("/v1/watch"), Match::exact, false,
         [c](APIRequest r, QString) { return ready(addFolder(*c, r)); }},
        {QStringLiteral("GET"), QStringLiteral("/v1/watch"), Match::exact, false,
         [c](APIRequest, QString) { return ready(listFolders(*c)); }},
        {QStringLiteral("PUT"), QStringLiteral("/v1/watch/{id}"), Match::prefix, true,
         [c](APIRequest r, QString id) { return ready(updateFolder(*c, r, id)); }},
        {QStringLiteral("DELETE"), QStringLiteral("/v1/watch/{id}"), Match::prefix, true,
         [c](APIRequest, QString id) { return ready(deleteFolder(*c, id)); }},
        {QStringLiteral("GET"), QStringLiteral("/v1/templates"), Match::exact, false,
         [c](APIRequest, QString) { return ready(listTemplates(*c)); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/templates"), Match::exact, false,
         [c](APIRequest r, QString) { return ready(addTemplate(*c, r)); }},
        {QStringLiteral("PUT"), QStringLiteral("/v1/templates/{name}"), Match::prefix, true,
         [c](APIRequest r, QString name) { return ready(updateTemplate(*c, r, name)); }},
        {QStringLiteral("DELETE"), QStringLiteral("/v1/templates/{name}"), Match::prefix, true,
         [c](APIRequest, QString name) { return ready(deleteTemplate(*c, name)); }},
        {QStringLiteral("GET"), QStringLiteral("/v1/providers"), Match::exact, false,
         [c](APIRequest, QString) { return ready(listProviders(*c)); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/providers"), Match::exact, false,
         [c](APIRequest r, QString) { return selectProvider(*c, std::move(r)); }},
        {QStringLiteral("GET"), QStringLiteral("/v1/settings"), Match::exact, false,
         [c](APIRequest, QString) { return settings(*c); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/settings"), Match::exact, false,
         [c](APIRequest r, QString) { return ready(changeSettings(*c, r)); }},
        {QStringLiteral("GET"), QStringLiteral("/v1/rules"), Match::exact, false,
         [c](APIRequest, QString) { return ready(rules(*c)); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/rules"), Match::exact, false,
         [c](APIRequest r, QString) { return ready(changeRules(*c, r)); }},
    };
}
