#pragma once

class QDateTime;
class QString;

/** `when` relative to `now` in German, the way ICU words it: "vor 5 Minuten", "gestern", "jetzt". */
[[nodiscard]] QString relativeTimeText(const QDateTime &when, const QDateTime &now);
