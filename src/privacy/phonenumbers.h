#pragma once

#include <QStringView>

namespace Privacy {

/**
 * Whether `candidate` (digits with spaces, dashes, one slash, parentheses, perhaps a leading +)
 * is written the way phone numbers are: international (+49 30 1234567, +49 (0)30 1234567, (+49) 30 1234567, 0049 …,
 * +1 (415) 555-0100),
 * national with a trunk 0 and an area code set apart (030/1234567, (030) 123 45 67, 0171 1234567),
 * or North American ((415) 555-0100, 1-800-555-0199, 415.555.0100). `before` is the text of its line before it: after a
 * word like "Kundennummer" or "Nr." a national number is no phone number, after "Tel." or "Fax" one may be written
 * without a gap.
 */
[[nodiscard]] bool isPhoneNumber(QStringView candidate, QStringView before);

} // namespace Privacy
