#include "datefinder.h"

#include "grounding/monthnames.h"

#include <QRegularExpression>

namespace Grounding {
namespace {

constexpr auto Options = QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption;

int fullYear(QStringView digits)
{
    const int year = digits.toInt();
    if (digits.size() > 2)
        return year;
    return year < 70 ? 2000 + year : 1900 + year;
}

int monthNumber(QStringView name)
{
    return monthNames().value(name.toString().toCaseFolded(), 0);
}

/** A pattern and how its captures become year, month and day (a capture of 0 is unused). */
struct DateForm {
    QRegularExpression pattern;
    int year, month, day;
    bool namedMonth = false;
    bool slashed = false; ///< day and month order unknown: only an unambiguous reading counts
};

const QList<DateForm> &dateForms()
{
    static const QList<DateForm> forms = [] {
        const QString months = QStringLiteral("(") + monthNamePattern() + QStringLiteral(R"()(?![\p{L}]))");
        return QList<DateForm>{
            {QRegularExpression(QStringLiteral(R"((?<![\d.])(\d{4})-(\d{1,2})-(\d{1,2})(?![\d]))"), Options), 1, 2, 3},
            {QRegularExpression(QStringLiteral(R"((?<![\d.])(\d{1,2})\. ?(\d{1,2})\. ?(\d{4}|\d{2})(?![\d]))"),
                                Options),
             3, 2, 1},
            {QRegularExpression(QStringLiteral(R"((?<![\d/])(\d{1,2})/(\d{1,2})/(\d{4}|\d{2})(?![\d]))"), Options), 3,
             2, 1, false, true},
            {QRegularExpression(QStringLiteral(R"((?<![\d.])(\d{1,2})\.?[ \t\x{00A0}-]*)") + months +
                                    QStringLiteral(R"(\.?,?[ \t\x{00A0}-]*(\d{4})(?![\d]))"),
                                Options),
             3, 2, 1, true},
            {QRegularExpression(
                 QStringLiteral(R"((?<![\p{L}]))") + months +
                     QStringLiteral(R"(\.?[ \t\x{00A0}]+(\d{1,2})(?:st|nd|rd|th)?\.?,?[ \t\x{00A0}]+(\d{4})(?![\d]))"),
                 Options),
             3, 1, 2, true},
        };
    }();
    return forms;
}

std::optional<QDate> dateOf(const DateForm &form, const QRegularExpressionMatch &match)
{
    const int year = fullYear(match.capturedView(form.year));
    const int month =
        form.namedMonth ? monthNumber(match.capturedView(form.month)) : match.capturedView(form.month).toInt();
    const int day = match.capturedView(form.day).toInt();
    if (!form.slashed) {
        const QDate date(year, month, day);
        return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
    }
    const QDate dayFirst(year, month, day);
    const QDate monthFirst(year, day, month);
    if (dayFirst.isValid() && monthFirst.isValid() && dayFirst != monthFirst)
        return std::nullopt;
    if (dayFirst.isValid())
        return dayFirst;
    return monthFirst.isValid() ? std::optional<QDate>(monthFirst) : std::nullopt;
}

} // namespace

QList<FoundDate> findDates(QStringView text)
{
    QList<FoundDate> found;
    for (const DateForm &form : dateForms()) {
        QRegularExpressionMatchIterator it = form.pattern.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            if (const std::optional<QDate> date = dateOf(form, match))
                found.append({*date, match.capturedStart(), match.capturedLength()});
        }
    }
    return found;
}

std::optional<QDate> parseDate(QStringView text)
{
    const QList<FoundDate> dates = findDates(text.trimmed());
    return dates.isEmpty() ? std::nullopt : std::optional<QDate>(dates.front().date);
}

} // namespace Grounding
