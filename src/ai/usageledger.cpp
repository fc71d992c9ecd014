#include "usageledger.h"

#include "ai/aisettings.h"
#include "common/processwide.h"
#include "common/stringtable.h"
#include "settings/defaultsstore.h"
#include "settings/writethrough.h"

#include <QLocale>

#include <algorithm>
#include <climits>

namespace {
const QString PricesKey = QStringLiteral("ai.prices");
const QString BudgetKey = QStringLiteral("ai.monthlyBudget");

QString usageKey(AIProviderType type)
{
    return QStringLiteral("ai.usage.") + rawValue(type).toLower();
}

QString namedHereKey(AIProviderType type)
{
    return QStringLiteral("ai.namedHere.") + rawValue(type).toLower();
}

QString month(QDate day)
{
    return day.toString(QStringLiteral("yyyy-MM"));
}
} // namespace

UsageLedger::UsageLedger(DefaultsStore &store, const AISettings &settings, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_settings(settings)
{
    // Another model is another price.
    for (const auto change : {&AISettings::providerChanged, &AISettings::modelChanged})
        connect(&settings, change, this, &UsageLedger::priceChanged);
}

UsageLedger &UsageLedger::shared()
{
    return processWide<UsageLedger>([] { return new UsageLedger(DefaultsStore::standard(), AISettings::shared()); });
}

void UsageLedger::addUsage(AIProviderType provider, qint64 promptTokens, qint64 answerTokens, QDate today)
{
    const Usage counted = usage(provider, today);
    const qint64 answer = std::max<qint64>(0, answerTokens);
    m_store.setArray(usageKey(provider),
                     {month(today), counted.requests + 1, counted.tokens + std::max<qint64>(0, promptTokens) + answer,
                      counted.answerTokens + answer});
    Q_EMIT usageChanged();
}

void UsageLedger::addNamedHere(AIProviderType provider, QDate today)
{
    m_store.setArray(namedHereKey(provider), {month(today), usage(provider, today).namedHere + 1});
    Q_EMIT usageChanged();
}

UsageLedger::Usage UsageLedger::usage(AIProviderType provider, QDate today) const
{
    Usage counted;
    // Counts of earlier versions carry no answer tokens: all are then priced as prompt tokens.
    const QVariantList stored = m_store.arrayValue(usageKey(provider)).value_or(QVariantList());
    if (stored.size() >= 3 && stored.at(0).toString() == month(today))
        counted = Usage{stored.at(1).toLongLong(), stored.at(2).toLongLong(), stored.value(3).toLongLong()};
    const QVariantList here = m_store.arrayValue(namedHereKey(provider)).value_or(QVariantList());
    if (here.size() >= 2 && here.at(0).toString() == month(today))
        counted.namedHere = here.at(1).toLongLong();
    return counted;
}

QString UsageLedger::describeUsage(const Usage &usage)
{
    const QLocale german(QLocale::German);
    QString described = StringTable::text("settings.usage", int(std::min<qint64>(usage.requests, INT_MAX)))
                            .arg(german.toString(usage.requests),
                                 PriceTable::tokenCount(usage.tokens) +
                                     (usage.tokens == 1 ? QStringLiteral(" Token") : QStringLiteral(" Tokens")));
    if (usage.namedHere > 0)
        described += QStringLiteral(" · ") +
                     StringTable::text("settings.usage.namedHere", int(std::min<qint64>(usage.namedHere, INT_MAX)))
                         .arg(german.toString(usage.namedHere));
    return described;
}

PriceTable UsageLedger::prices() const
{
    return PriceTable::fromStored(m_store.arrayValue(PricesKey).value_or(QVariantList()));
}

TokenPrice UsageLedger::price() const
{
    return prices().price(m_settings.provider(), m_settings.effectiveModel());
}

void UsageLedger::setPrice(TokenPrice value)
{
    PriceTable table = prices();
    table.setPrice(m_settings.effectiveModel(), value);
    writeThrough(
        price(), value, [&] { m_store.setArray(PricesKey, table.toStored()); }, [&] { Q_EMIT priceChanged(); });
}

double UsageLedger::monthlyBudget() const
{
    return double(std::max<qint64>(0, m_store.integerValue(BudgetKey))) / 100;
}

void UsageLedger::setMonthlyBudget(double euros)
{
    const double budget = std::max(0.0, std::round(euros * 100) / 100);
    writeThrough(
        monthlyBudget(), budget, [&] { m_store.setInteger(BudgetKey, qRound64(budget * 100)); },
        [&] { Q_EMIT monthlyBudgetChanged(); });
}

double UsageLedger::costThisMonth(QDate today) const
{
    const PriceTable table = prices();
    double total = 0;
    for (const AIProviderType provider : allCases<AIProviderType>()) {
        const Usage counted = usage(provider, today);
        total += PriceTable::cost(table.price(provider, m_settings.effectiveModel(provider)),
                                  counted.tokens - counted.answerTokens, counted.answerTokens);
    }
    return total;
}

bool UsageLedger::isOverBudget(QDate today) const
{
    return monthlyBudget() > 0 && costThisMonth(today) >= monthlyBudget();
}

QString UsageLedger::budgetReached(QDate today) const
{
    return StringTable::text("budget.reached")
        .arg(PriceTable::euros(monthlyBudget()), PriceTable::euros(costThisMonth(today)));
}
