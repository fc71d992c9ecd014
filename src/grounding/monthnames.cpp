#include "monthnames.h"

#include "common/unicodetext.h"

#include <QRegularExpression>

#include <unicode/dtfmtsym.h>

#include <algorithm>

namespace Grounding {
namespace {

QHash<QString, int> collectMonthNames()
{
    QHash<QString, int> names;
    for (const char *language : {"de", "en"}) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::DateFormatSymbols symbols(icu::Locale(language), status);
        if (U_FAILURE(status))
            continue;
        for (const auto context : {icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::STANDALONE}) {
            for (const auto width : {icu::DateFormatSymbols::WIDE, icu::DateFormatSymbols::ABBREVIATED}) {
                int32_t count = 0;
                const icu::UnicodeString *months = symbols.getMonths(count, context, width);
                for (int32_t i = 0; i < count && i < 12; ++i) {
                    QString name(reinterpret_cast<const QChar *>(months[i].getBuffer()), months[i].length());
                    if (name.endsWith(u'.'))
                        name.chop(1);
                    if (!name.isEmpty())
                        names.insert(UnicodeText::nfc(name).toCaseFolded(), i + 1);
                }
            }
        }
    }
    return names;
}

} // namespace

const QHash<QString, int> &monthNames()
{
    static const QHash<QString, int> names = collectMonthNames();
    return names;
}

const QString &monthNamePattern()
{
    static const QString pattern = [] {
        QStringList names = monthNames().keys();
        // Longest first, so "march" wins over "mar".
        std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
            return a.size() != b.size() ? a.size() > b.size() : a < b;
        });
        for (QString &name : names)
            name = QRegularExpression::escape(name);
        return names.join(u'|');
    }();
    return pattern;
}

} // namespace Grounding
