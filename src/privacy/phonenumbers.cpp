#include "phonenumbers.h"

#include <QRegularExpression>

#include <algorithm>

namespace Privacy {
namespace {

enum class Label { None, Phone, Number };

bool startsWithAny(const QString &word, std::initializer_list<QStringView> stems)
{
    return std::ranges::any_of(stems, [&](QStringView stem) { return word.startsWith(stem); });
}

bool endsWithAny(const QString &word, std::initializer_list<QStringView> stems)
{
    return std::ranges::any_of(stems, [&](QStringView stem) { return word.endsWith(stem); });
}

bool isPhoneWord(const QString &word)
{
    return startsWithAny(word, {u"tel", u"fon", u"fax", u"mobil", u"handy", u"ruf", u"cell", u"call", u"phone"}) ||
           word.contains(u"telefon") || word.contains(u"phone") || word.contains(u"hotline");
}

/** What the last words before a number say it is ("Tel.-Nr.:", "Kundennummer", "Order no."). */
Label labelBefore(QStringView before)
{
    static const QRegularExpression lastWords(
        QStringLiteral(R"((?:(\p{L}+)[^\p{L}\p{N}]{1,3})?(\p{L}+)[^\p{L}\p{N}]{0,4}$)"),
        QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch match = lastWords.match(before.right(40));
    if (!match.hasMatch())
        return Label::None;
    const QString word = match.captured(2).toCaseFolded();
    if (isPhoneWord(word) || isPhoneWord(match.captured(1).toCaseFolded()))
        return Label::Phone;
    // Not "Rechnung" or "order": "Fragen zu Ihrer Rechnung: 0800 …" is common.
    if (endsWithAny(word, {u"nummer", u"nr", u"no", u"number", u"konto", u"id", u"ref", u"referenz", u"zeichen",
                           u"account", u"code"}))
        return Label::Number;
    return Label::None;
}

qsizetype digitCount(QStringView text)
{
    return std::ranges::count_if(text, [](QChar c) { return c.isDigit(); });
}

} // namespace

bool isPhoneNumber(QStringView candidate, QStringView before)
{
    // A gap is one space, or a dash or slash with a space on either side or none.
    static const QRegularExpression international(
        QStringLiteral(R"(^(?:\+|00)\d+(?: ?\(0\))?(?:(?: ?[-/] ?| |(?<=\)))(?:\d+|\(\d+\)))*$)"));
    static const QRegularExpression national(QStringLiteral(
        R"(^(?:(0[1-9]\d{1,4})(?:(?: ?[-/] ?| )\d+)+|\((0[1-9]\d{1,4})\) ?\d+(?:(?: ?[-/] ?| )\d+)*)$)"));
    static const QRegularExpression unbroken(QStringLiteral(R"(^0[1-9]\d{5,11}$)"));
    static const QRegularExpression northAmerican(
        QStringLiteral(R"(^(?:1[- ]?)?(?:(?:\([2-9]\d\d\) ?|[2-9]\d\d[- ])[2-9]\d\d-|[2-9]\d\d\.[2-9]\d\d\.)\d{4}$)"));

    static const QRegularExpression bracketedCountry(QStringLiteral(R"(^\(\+(\d{1,3})\) ?)"));
    QString shape = candidate.toString();
    shape.replace(u'\u00A0', u' ').replace(u'\u202F', u' ');
    shape.replace(bracketedCountry, QStringLiteral("+\\1 ")); // "(+49) 30 …" is "+49 30 …"
    if (shape.count(u'/') > 1)
        return false;
    const qsizetype digits = digitCount(shape);
    const Label label = labelBefore(before);
    if (shape.startsWith(u'+'))
        return digits >= 8 && digits <= 15 && international.match(shape).hasMatch();
    if (label == Label::Number)
        return false;
    if (shape.startsWith(u"00"))
        return digits >= 10 && digits <= 17 && international.match(shape).hasMatch();
    if (digits < 7 || digits > 13)
        return false;
    // A subscriber number has five digits or more: "0815/2024" is a reference and its year.
    const QRegularExpressionMatch local = national.match(shape);
    if (local.hasMatch())
        return digits - (local.capturedLength(1) + local.capturedLength(2)) >= 5;
    return northAmerican.match(shape).hasMatch() || (label == Label::Phone && unbroken.match(shape).hasMatch());
}

} // namespace Privacy
