#include "checkdigits.h"

#include <QString>

#include <array>

namespace Privacy::CheckDigits {
namespace {

bool allDigits(QStringView text)
{
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

int digitAt(QStringView text, qsizetype i)
{
    return text.at(i).unicode() - u'0';
}

struct CardScheme {
    int low, high, prefixDigits;
    unsigned lengths; ///< bit n: n digits allowed
};

constexpr unsigned lengthsFrom(int low, int high = 19)
{
    unsigned bits = 0;
    for (int n = low; n <= high; ++n)
        bits |= 1u << n;
    return bits;
}

// Issuer prefixes of the schemes in use: a random Luhn-valid number rarely starts with one. No
// 13-digit lengths (Visa and Maestro no longer issue them): every EAN-13 would be a candidate.
constexpr std::array<CardScheme, 17> CardSchemes{{
    {4, 4, 1, 1u << 16 | 1u << 19},   // Visa
    {51, 55, 2, 1u << 16},            // Mastercard
    {2221, 2720, 4, 1u << 16},        // Mastercard
    {34, 34, 2, 1u << 15},            // American Express
    {37, 37, 2, 1u << 15},            // American Express
    {300, 305, 3, lengthsFrom(14)},   // Diners Club
    {36, 36, 2, lengthsFrom(14)},     // Diners Club
    {38, 39, 2, lengthsFrom(14)},     // Diners Club
    {6011, 6011, 4, lengthsFrom(16)}, // Discover
    {644, 649, 3, lengthsFrom(16)},   // Discover
    {65, 65, 2, lengthsFrom(16)},     // Discover
    {3528, 3589, 4, lengthsFrom(16)}, // JCB
    {62, 62, 2, lengthsFrom(16)},     // UnionPay
    {2200, 2204, 4, lengthsFrom(16)}, // Mir
    {50, 50, 2, lengthsFrom(16)},     // Maestro
    {56, 58, 2, lengthsFrom(16)},     // Maestro
    {63, 63, 2, lengthsFrom(16)},     // Maestro
}};

bool luhn(QStringView digits)
{
    int sum = 0;
    bool twice = false;
    for (qsizetype i = digits.size() - 1; i >= 0; --i, twice = !twice) {
        int d = digitAt(digits, i) * (twice ? 2 : 1);
        sum += d > 9 ? d - 9 : d;
    }
    return sum % 10 == 0;
}

int alphabetPosition(QChar c)
{
    const char16_t u = c.toUpper().unicode();
    return u >= u'A' && u <= u'Z' ? u - u'A' + 1 : 0;
}

} // namespace

int ibanLength(QStringView country)
{
    // The IBAN registry (ISO 13616) as of 2024.
    static constexpr struct {
        char16_t code[3];
        int length;
    } Lengths[] = {
        {u"AD", 24}, {u"AE", 23}, {u"AL", 28}, {u"AT", 20}, {u"AZ", 28}, {u"BA", 20}, {u"BE", 16}, {u"BG", 22},
        {u"BH", 22}, {u"BI", 27}, {u"BR", 29}, {u"BY", 28}, {u"CH", 21}, {u"CR", 22}, {u"CY", 28}, {u"CZ", 24},
        {u"DE", 22}, {u"DJ", 27}, {u"DK", 18}, {u"DO", 28}, {u"EE", 20}, {u"EG", 29}, {u"ES", 24}, {u"FI", 18},
        {u"FK", 18}, {u"FO", 18}, {u"FR", 27}, {u"GB", 22}, {u"GE", 22}, {u"GI", 23}, {u"GL", 18}, {u"GR", 27},
        {u"GT", 28}, {u"HR", 21}, {u"HU", 28}, {u"IE", 22}, {u"IL", 23}, {u"IQ", 23}, {u"IS", 26}, {u"IT", 27},
        {u"JO", 30}, {u"KW", 30}, {u"KZ", 20}, {u"LB", 28}, {u"LC", 32}, {u"LI", 21}, {u"LT", 20}, {u"LU", 20},
        {u"LV", 21}, {u"LY", 25}, {u"MC", 27}, {u"MD", 24}, {u"ME", 22}, {u"MK", 19}, {u"MN", 20}, {u"MR", 27},
        {u"MT", 31}, {u"MU", 30}, {u"NI", 28}, {u"NL", 18}, {u"NO", 15}, {u"OM", 23}, {u"PK", 24}, {u"PL", 28},
        {u"PS", 29}, {u"PT", 25}, {u"QA", 29}, {u"RO", 24}, {u"RS", 22}, {u"RU", 33}, {u"SA", 24}, {u"SC", 31},
        {u"SD", 18}, {u"SE", 24}, {u"SI", 19}, {u"SK", 24}, {u"SM", 27}, {u"SO", 23}, {u"ST", 25}, {u"SV", 28},
        {u"TL", 23}, {u"TN", 24}, {u"TR", 26}, {u"UA", 29}, {u"VA", 22}, {u"VG", 24}, {u"XK", 20}, {u"YE", 30},
    };
    for (const auto &entry : Lengths) {
        if (country == QStringView(entry.code, 2))
            return entry.length;
    }
    return 0;
}

bool isIban(QStringView compact)
{
    if (compact.size() < 4 || compact.size() != ibanLength(compact.first(2).toString().toUpper()) ||
        !allDigits(compact.sliced(2, 2)))
        return false;
    // The country and check digits move to the end; letters count as 10…35; the remainder must be 1.
    int remainder = 0;
    for (qsizetype i = 0; i < compact.size(); ++i) {
        const QChar c = compact.at((i + 4) % compact.size());
        if (c >= u'0' && c <= u'9') {
            remainder = (remainder * 10 + (c.unicode() - u'0')) % 97;
        } else if (const int position = alphabetPosition(c); position > 0 && c.unicode() < 128) {
            remainder = (remainder * 100 + position + 9) % 97;
        } else {
            return false;
        }
    }
    return remainder == 1;
}

bool isCardNumber(QStringView digits)
{
    const qsizetype length = digits.size();
    if (length < 14 || length > 19 || !allDigits(digits) || !luhn(digits))
        return false;
    for (const CardScheme &scheme : CardSchemes) {
        const int prefix = digits.first(scheme.prefixDigits).toInt();
        if (prefix >= scheme.low && prefix <= scheme.high && (scheme.lengths & (1u << length)))
            return true;
    }
    return false;
}

bool isTaxId(QStringView digits)
{
    if (digits.size() != 11 || !allDigits(digits) || digits.front() == u'0')
        return false;
    std::array<int, 10> counts{};
    for (qsizetype i = 0; i < 10; ++i)
        ++counts[digitAt(digits, i)];
    int repeated = -1;
    for (int d = 0; d < 10; ++d) {
        if (counts[d] > 3 || (counts[d] > 1 && repeated >= 0))
            return false;
        if (counts[d] > 1)
            repeated = d;
    }
    if (repeated < 0)
        return false;
    for (qsizetype i = 2; i < 10; ++i) {
        if (digitAt(digits, i) == repeated && digitAt(digits, i - 1) == repeated && digitAt(digits, i - 2) == repeated)
            return false;
    }
    int product = 10;
    for (qsizetype i = 0; i < 10; ++i) {
        int sum = (digitAt(digits, i) + product) % 10;
        product = (sum == 0 ? 10 : sum) * 2 % 11;
    }
    const int check = 11 - product;
    return (check == 10 ? 0 : check) == digitAt(digits, 10);
}

bool isSocialInsuranceNumber(QStringView compact)
{
    if (compact.size() != 12 || !allDigits(compact.first(8)) || !allDigits(compact.sliced(9)))
        return false;
    const int letter = alphabetPosition(compact.at(8));
    const int day = compact.sliced(2, 2).toInt();
    const int month = compact.sliced(4, 2).toInt();
    if (letter == 0 || compact.at(8).unicode() > 127 || day < 1 || day > 31 || month < 1 || month > 12)
        return false;
    std::array<int, 12> values{};
    for (qsizetype i = 0; i < 8; ++i)
        values[i] = digitAt(compact, i);
    values[8] = letter / 10;
    values[9] = letter % 10;
    values[10] = digitAt(compact, 9);
    values[11] = digitAt(compact, 10);
    static constexpr std::array<int, 12> Weights{2, 1, 2, 5, 7, 1, 2, 1, 2, 1, 2, 1};
    int sum = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const int product = values[i] * Weights[i];
        sum += product / 10 + product % 10;
    }
    return sum % 10 == digitAt(compact, 11);
}

} // namespace Privacy::CheckDigits
