#pragma once

class QDateTime;
class QString;

/** `when` relative to `now` in German, the way ICU words it: "vor 5 Minuten", "gestern", "jetzt". */
[[nodiscard]] QString relativeTimeText(const QDateTime &when, const QDateTime &now);
/** When a batch was applied, as its group reads: "Heute, 14:32", "Gestern, 09:05", "3. März 2025, 18:00". */
[[nodiscard]] QString batchTimeText(const QDateTime &when, const QDateTime &now);
