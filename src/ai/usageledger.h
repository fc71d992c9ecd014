#pragma once

#include "ai/aiprovidertype.h"
#include "ai/pricetable.h"

#include <QDate>
#include <QObject>

class AISettings;
class DefaultsStore;

/**
 * What the providers were asked and what that cost, apart from the choice of provider.
 *
 * Each provider's replies and tokens are counted per month ("ai.usage.<provider>": month,
 * replies, tokens, of those the answers' tokens), and so are the files named on this device while
 * that provider was selected ("ai.namedHere.<provider>": month, files): an e-invoice's data or a
 * sure local reading with "Erst lokal benennen" saves the request. A new month starts from zero;
 * earlier months are not kept. What the requests cost follows from the prices per model
 * ("ai.prices", see PriceTable), each provider's usage at the price of its current model; a
 * monthly budget ("ai.monthlyBudget", in cents, 0 for none) limits what the background queue
 * spends. Lives on the GUI thread.
 */
class UsageLedger final : public QObject
{
    Q_OBJECT

public:
    UsageLedger(DefaultsStore &store, const AISettings &settings, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(UsageLedger)

    /** The ledger over the standard defaults store and the shared settings. */
    static UsageLedger &shared();

    /** One provider's month: replies, tokens (prompt and answer together, and the answers' alone), files named here. */
    struct Usage {
        qint64 requests = 0;
        qint64 tokens = 0;
        qint64 answerTokens = 0;
        qint64 namedHere = 0;
        bool operator==(const Usage &) const = default;
    };
    /** Counts one reply of `provider` with its prompt's and answer's tokens towards the month of `today`. */
    void addUsage(AIProviderType provider, qint64 promptTokens, qint64 answerTokens,
                  QDate today = QDate::currentDate());
    /** Counts one file named on this device while `provider` was selected: a request saved. */
    void addNamedHere(AIProviderType provider, QDate today = QDate::currentDate());
    /** The provider's count for the month of `today`; zero when the last count is of another month. */
    [[nodiscard]] Usage usage(AIProviderType provider, QDate today = QDate::currentDate()) const;
    /** "Diesen Monat: 1.240 Anfragen, 2,1 Mio. Tokens · 37 Dateien ohne Anfrage benannt" */
    [[nodiscard]] static QString describeUsage(const Usage &usage);

    [[nodiscard]] PriceTable prices() const;
    /** The price of the selected provider's model. */
    [[nodiscard]] TokenPrice price() const;
    /** Sets the price of the selected provider's model. */
    void setPrice(TokenPrice value);
    /** Euros per month the background queue may spend; 0 for no limit. */
    [[nodiscard]] double monthlyBudget() const;
    void setMonthlyBudget(double euros);
    /** What all providers' usage in the month of `today` cost, each at the price of its model. */
    [[nodiscard]] double costThisMonth(QDate today = QDate::currentDate()) const;
    /** A budget is set and this month's cost has reached it. */
    [[nodiscard]] bool isOverBudget(QDate today = QDate::currentDate()) const;
    /** "Monatsbudget von 10,00 € erreicht (diesen Monat 10,12 €)" */
    [[nodiscard]] QString budgetReached(QDate today = QDate::currentDate()) const;

Q_SIGNALS:
    void usageChanged();
    /** The selected model's price changed, or another model (with its own price) was selected. */
    void priceChanged();
    void monthlyBudgetChanged();

private:
    DefaultsStore &m_store;
    const AISettings &m_settings;
};
