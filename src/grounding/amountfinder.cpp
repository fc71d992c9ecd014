#include "amountfinder.h"

#include <QRegularExpression>

namespace Grounding {
namespace {

/** The value of `number` read with `group` as thousands and `decimal` as decimal separator. */
std::optional<qint64> readAs(QStringView number, QChar group, QChar decimal)
{
    qsizetype end = number.size();
    qint64 cents = 0;
    const qsizetype point = number.lastIndexOf(decimal);
    if (point >= 0) {
        const QStringView fraction = number.sliced(point + 1);
        if (fraction.isEmpty() || fraction.size() > 2 || fraction.contains(group))
            return std::nullopt;
        cents = fraction.toInt() * (fraction.size() == 1 ? 10 : 1);
        end = point;
    }
    const QStringView whole = number.first(end);
    if (whole.isEmpty() || whole.contains(decimal))
        return std::nullopt;
    if (whole.contains(group)) {
        // Groups of three after a first group of one to three digits.
        const QList<QStringView> groups = whole.split(group);
        if (groups.front().isEmpty() || groups.front().size() > 3)
            return std::nullopt;
        for (qsizetype i = 1; i < groups.size(); ++i) {
            if (groups.at(i).size() != 3)
                return std::nullopt;
        }
    }
    QString digits = whole.toString();
    digits.remove(group);
    bool ok = false;
    const qint64 units = digits.toLongLong(&ok);
    if (!ok || units > 1'000'000'000'000LL)
        return std::nullopt;
    return units * 100 + cents;
}

QList<qint64> readings(QStringView number)
{
    QList<qint64> values;
    for (const auto &[group, decimal] : {std::pair{u'.', u','}, std::pair{u',', u'.'}}) {
        const std::optional<qint64> value = readAs(number, group, decimal);
        if (value && !values.contains(*value))
            values.append(*value);
    }
    return values;
}

bool hasCurrencyBeside(QStringView text, qsizetype start, qsizetype end)
{
    static const QRegularExpression before(QStringLiteral(R"((?:€|\$|£|EUR|USD|CHF|GBP)[ \x{00A0}]?$)"));
    static const QRegularExpression after(QStringLiteral(R"(^(?:,-|\.-)?[ \x{00A0}]?(?:€|\$|£|EUR|USD|CHF|GBP|Euro))"));
    const qsizetype from = std::max<qsizetype>(0, start - 5);
    return before.match(text.sliced(from, start - from)).hasMatch() ||
           after.match(text.sliced(end, std::min<qsizetype>(8, text.size() - end))).hasMatch();
}

} // namespace

QList<FoundAmount> findAmounts(QStringView text)
{
    // Runs of digits and separators not inside a longer number (a date's "15.03.2024" reads as neither).
    static const QRegularExpression number(QStringLiteral(R"((?<![\d.,])\d(?:[\d.,]*\d)?(?![\d]|[.,]\d))"));
    QList<FoundAmount> found;
    QRegularExpressionMatchIterator it = number.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QStringView token = match.capturedView();
        const bool whole = !token.contains(u'.') && !token.contains(u',');
        if (whole && !hasCurrencyBeside(text, match.capturedStart(), match.capturedEnd()))
            continue;
        for (const qint64 cents : readings(token))
            found.append({cents, match.capturedStart(), match.capturedLength()});
    }
    return found;
}

std::optional<qint64> parseAmount(QStringView text)
{
    static const QRegularExpression number(QStringLiteral(R"(\d(?:[\d.,]*\d)?)"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    // The prompt asks for "49.99": the English reading comes first.
    const std::optional<qint64> english = readAs(match.capturedView(), u',', u'.');
    return english ? english : readAs(match.capturedView(), u'.', u',');
}

} // namespace Grounding
