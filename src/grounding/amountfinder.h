#pragma once

#include <QList>
#include <QStringView>

#include <optional>

namespace Grounding {

/** A money amount written in a text, in cents, and where. */
struct FoundAmount {
    qint64 cents = 0;
    qsizetype position = 0;
    qsizetype length = 0;
};

/**
 * Every amount `text` writes with German or English separators (1.234,56 / 1234,56 /
 * 1,234.56 / 1234.56); a number that reads both ways counts with both values. A whole number
 * without decimals counts only beside a currency sign or code (€, $, £, EUR, USD, CHF, GBP),
 * so the day of a date or a house number does not pass for an amount.
 */
[[nodiscard]] QList<FoundAmount> findAmounts(QStringView text);

/** The amount a reply's "betrag" names ("49.99", "1.234,56 €", "EUR 12"); nullopt when none. */
[[nodiscard]] std::optional<qint64> parseAmount(QStringView text);

} // namespace Grounding
