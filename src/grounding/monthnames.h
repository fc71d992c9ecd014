#pragma once

#include <QHash>
#include <QString>

namespace Grounding {

/**
 * German and English month names, wide and abbreviated, format and stand-alone forms, from ICU's
 * date symbols: case-folded, without a trailing dot, mapped to 1…12. Built once; read-only after.
 */
[[nodiscard]] const QHash<QString, int> &monthNames();

/** The names of monthNames() as a regular-expression alternation, longest first. */
[[nodiscard]] const QString &monthNamePattern();

} // namespace Grounding
