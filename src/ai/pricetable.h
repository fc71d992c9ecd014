#pragma once

#include "ai/aiprovidertype.h"

#include <QHash>
#include <QString>
#include <QVariantList>

#include <optional>

/** What one million tokens of a model cost, in euros: those of the prompt and those of the answer. */
struct TokenPrice {
    double input = 0;
    double output = 0;
    bool operator==(const TokenPrice &) const = default;
};

/**
 * The prices per model: the user's own over the defaults (docs/decisions.md gives them and the
 * date they were taken). A local model costs nothing; a cloud provider's model without a price
 * is priced as the provider's default model, so an estimate never reads zero for want of a row.
 * Formats amounts the way the settings and questions show them.
 */
class PriceTable final
{
public:
    /** The user's prices as kept in the settings: [[model, input, output], …]; other rows are skipped. */
    [[nodiscard]] static PriceTable fromStored(const QVariantList &stored);
    [[nodiscard]] QVariantList toStored() const;

    /** The built-in price of a model, if it has one. */
    [[nodiscard]] static std::optional<TokenPrice> defaultPrice(const QString &model);
    [[nodiscard]] TokenPrice price(AIProviderType provider, const QString &model) const;
    /** The user's price for `model`; one equal to the default is not kept as the user's. */
    void setPrice(const QString &model, TokenPrice price);

    /** Euros for that many prompt and answer tokens. */
    [[nodiscard]] static double cost(TokenPrice price, qint64 promptTokens, qint64 answerTokens);
    /** "6,80 €" */
    [[nodiscard]] static QString euros(double amount);
    /** "999.999", "4,5 Mio.", "3,5 Mrd." */
    [[nodiscard]] static QString tokenCount(qint64 tokens);

private:
    QHash<QString, TokenPrice> m_own;
};
