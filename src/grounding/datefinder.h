#pragma once

#include <QDate>
#include <QList>
#include <QStringView>

#include <optional>

namespace Grounding {

/** A date written in a text, and where. */
struct FoundDate {
    QDate date;
    qsizetype position = 0;
    qsizetype length = 0;
};

/**
 * Every date `text` spells in a form people write: 2024-03-15, 15.03.2024, 15.3.24,
 * 15. März 2024, 15 Mar 2024, March 15, 2024, and 15/03/2024 or 03/15/2024 where only one
 * reading is a date (a slash date whose two numbers could both be the month counts as none).
 * Two-digit years below 70 are 20xx, the others 19xx.
 */
[[nodiscard]] QList<FoundDate> findDates(QStringView text);

/** The date a reply's "datum" names, in any of the forms above; nullopt when it names none. */
[[nodiscard]] std::optional<QDate> parseDate(QStringView text);

} // namespace Grounding
