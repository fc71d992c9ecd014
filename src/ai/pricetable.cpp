#include "ai/pricetable.h"

#include "ai/aisettings.h"
#include "ai/providercatalogue.h"

#include <QLocale>

namespace {

// List prices in US dollars per million tokens, converted at 0.86 € per dollar (docs/decisions.md).
const QHash<QString, TokenPrice> &defaults()
{
    static const QHash<QString, TokenPrice> prices{
        {QStringLiteral("claude-sonnet-4-20250514"), {2.58, 12.90}},
        {QStringLiteral("gpt-4o"), {2.15, 8.60}},
        {QStringLiteral("gemini-2.0-flash"), {0.09, 0.34}},
    };
    return prices;
}

} // namespace

PriceTable PriceTable::fromStored(const QVariantList &stored)
{
    PriceTable table;
    for (const QVariant &row : stored) {
        const QVariantList fields = row.toList();
        bool inputRead = false;
        bool outputRead = false;
        if (fields.size() != 3 || fields.at(0).toString().isEmpty())
            continue;
        const TokenPrice price{fields.at(1).toDouble(&inputRead), fields.at(2).toDouble(&outputRead)};
        if (inputRead && outputRead && price.input >= 0 && price.output >= 0)
            table.m_own.insert(fields.at(0).toString(), price);
    }
    return table;
}

QVariantList PriceTable::toStored() const
{
    QStringList models = m_own.keys();
    models.sort(); // a stable file
    QVariantList stored;
    for (const QString &model : models)
        stored.append(QVariant(QVariantList{model, m_own.value(model).input, m_own.value(model).output}));
    return stored;
}

std::optional<TokenPrice> PriceTable::defaultPrice(const QString &model)
{
    const auto found = defaults().constFind(model);
    return found == defaults().cend() ? std::nullopt : std::optional<TokenPrice>(*found);
}

TokenPrice PriceTable::price(AIProviderType provider, const QString &model) const
{
    if (!ProviderCatalogue::facts(provider).paidCloud)
        return {};
    const auto known = [this](const QString &name) {
        const auto own = m_own.constFind(name);
        return own != m_own.cend() ? std::optional<TokenPrice>(*own) : defaultPrice(name);
    };
    return known(model).value_or(known(AISettings::defaultModel(provider)).value_or(TokenPrice{}));
}

void PriceTable::setPrice(const QString &model, TokenPrice price)
{
    if (defaultPrice(model) == price)
        m_own.remove(model);
    else
        m_own.insert(model, price);
}

double PriceTable::cost(TokenPrice price, qint64 promptTokens, qint64 answerTokens)
{
    return (double(promptTokens) * price.input + double(answerTokens) * price.output) / 1e6;
}

QString PriceTable::euros(double amount)
{
    return QLocale(QLocale::German).toString(amount, 'f', 2) + QStringLiteral(" €");
}

QString PriceTable::tokenCount(qint64 tokens)
{
    const QLocale german(QLocale::German);
    if (tokens >= 1'000'000'000)
        return german.toString(tokens / 1e9, 'f', 1) + QStringLiteral(" Mrd.");
    if (tokens >= 1'000'000)
        return german.toString(tokens / 1e6, 'f', 1) + QStringLiteral(" Mio.");
    return german.toString(tokens);
}
