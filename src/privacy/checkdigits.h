#pragma once

#include <QStringView>

/** Check-digit rules of the identifiers the privacy filter masks; each takes the compact form. */
namespace Privacy::CheckDigits {

/** The length of an IBAN of this country (ISO 3166 code, upper case); 0 when it has none. */
[[nodiscard]] int ibanLength(QStringView country);

/** ISO 13616: the right length for its country and ISO 7064 MOD 97-10 check digits. */
[[nodiscard]] bool isIban(QStringView compact);

/** 14–19 digits passing Luhn, starting with an issuer prefix of a card scheme using that length. */
[[nodiscard]] bool isCardNumber(QStringView digits);

/**
 * The German tax ID (steuerliche Identifikationsnummer): 11 digits, no leading 0, in the first
 * ten exactly one digit twice or three times (never three in a row), ISO 7064 MOD 11,10 check digit.
 */
[[nodiscard]] bool isTaxId(QStringView digits);

/**
 * The German social insurance number: area (2 digits), birth date DDMMYY, the birth name's
 * initial, serial (2 digits), check digit from weights 2 1 2 5 7 1 2 1 2 1 2 1 over the digits
 * with the letter as its two-digit alphabet position, cross sums added, modulo 10.
 */
[[nodiscard]] bool isSocialInsuranceNumber(QStringView compact);

} // namespace Privacy::CheckDigits
