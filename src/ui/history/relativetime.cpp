#include "relativetime.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <unicode/locid.h>
#include <unicode/reldatefmt.h>

#include <cstdlib>
#include <memory>

namespace {

struct Step {
    qint64 seconds; // length of one unit
    URelativeDateTimeUnit unit;
};

// The largest unit that fits is used; under a minute reads "jetzt", so the text need not tick.
constexpr Step Steps[] = {
    {365 * 86400, UDAT_REL_UNIT_YEAR}, {30 * 86400, UDAT_REL_UNIT_MONTH}, {7 * 86400, UDAT_REL_UNIT_WEEK},
    {86400, UDAT_REL_UNIT_DAY},        {3600, UDAT_REL_UNIT_HOUR},        {60, UDAT_REL_UNIT_MINUTE},
};

icu::RelativeDateTimeFormatter *germanFormatter()
{
    thread_local std::unique_ptr<icu::RelativeDateTimeFormatter> formatter = [] {
        UErrorCode status = U_ZERO_ERROR;
        auto made = std::make_unique<icu::RelativeDateTimeFormatter>(icu::Locale::getGerman(), status);
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    return formatter.get();
}

} // namespace

QString relativeTimeText(const QDateTime &when, const QDateTime &now)
{
    icu::RelativeDateTimeFormatter *formatter = germanFormatter();
    if (!formatter || !when.isValid())
        return {};
    const qint64 offset = now.secsTo(when); // negative in the past
    double amount = 0;
    URelativeDateTimeUnit unit = UDAT_REL_UNIT_SECOND;
    for (const Step &step : Steps) {
        if (std::llabs(offset) >= step.seconds) {
            amount = double(offset / step.seconds);
            unit = step.unit;
            break;
        }
    }
    icu::UnicodeString text;
    UErrorCode status = U_ZERO_ERROR;
    formatter->format(amount, unit, text, status);
    if (U_FAILURE(status))
        return {};
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

QString batchTimeText(const QDateTime &when, const QDateTime &now)
{
    if (!when.isValid())
        return {};
    const QLocale german(QLocale::German);
    const QDateTime local = when.toLocalTime();
    const QString time = german.toString(local.time(), QStringLiteral("HH:mm"));
    const qint64 days = local.date().daysTo(now.toLocalTime().date());
    if (days == 0)
        return qtTrId("history.today").arg(time);
    if (days == 1)
        return qtTrId("history.yesterday").arg(time);
    return german.toString(local.date(), QStringLiteral("d. MMMM yyyy")) + QStringLiteral(", ") + time;
}
