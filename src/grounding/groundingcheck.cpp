#include "groundingcheck.h"

#include "ai/promptcontract.h"
#include "common/stringtable.h"
#include "common/unicodetext.h"
#include "extraction/filecontext.h"
#include "grounding/amountfinder.h"
#include "grounding/datefinder.h"
#include "grounding/groundinglog.h"
#include "grounding/textfolding.h"

#include <QRegularExpression>

namespace Grounding {
namespace {

constexpr int EarliestPlausibleYear = 1970;

FieldCheck verified(const QString &field, QStringView text, qsizetype position, qsizetype length)
{
    return {field, Status::verified, {}, text.sliced(position, length).toString(), position};
}

/** `value` not backed, for the reason the string table holds under `id`; `detail` fills its "%1". */
FieldCheck unverified(const QString &field, QStringView value, const char *id, const QString &detail = {})
{
    qCDebug(lcGrounding, "%s \"%s\" unverified: %s", qUtf8Printable(field), qUtf8Printable(value.toString()), id);
    QString reason = StringTable::text(id);
    if (reason.contains(u"%1"))
        reason = reason.arg(detail);
    return {field, Status::unverified, reason, {}, -1};
}

/** A reply value that means "nothing": empty or the word null. */
bool isBlank(const std::optional<QString> &value)
{
    if (!value)
        return true;
    const QString trimmed = value->trimmed();
    return trimmed.isEmpty() || trimmed.compare(u"null", Qt::CaseInsensitive) == 0;
}

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

/** Where `word` stands in `folded` as a whole word; -1 when nowhere. */
qsizetype wholeWordAt(const QString &folded, const QString &word)
{
    for (qsizetype at = folded.indexOf(word); at >= 0; at = folded.indexOf(word, at + 1)) {
        const qsizetype end = at + word.size();
        if ((at == 0 || !isWordCharacter(folded.at(at - 1))) &&
            (end == folded.size() || !isWordCharacter(folded.at(end))))
            return at;
    }
    return -1;
}

/** Legal forms a model adds or drops at will; they decide nothing about the sender. */
bool isLegalForm(const QString &word)
{
    static const QStringList forms{QStringLiteral("gmbh"), QStringLiteral("mbh"),
                                   QStringLiteral("ohg"),  QStringLiteral("gbr"),
                                   QStringLiteral("ltd"),  QStringLiteral("inc"),
                                   QStringLiteral("llc"),  QStringLiteral("plc"),
                                   QStringLiteral("corp"), QStringLiteral("haftungsbeschränkt")};
    return forms.contains(word);
}

/** The sender's words of three or more letters, folded, legal forms left out. */
QStringList significantWords(const QString &foldedSender)
{
    static const QRegularExpression separators(QStringLiteral(R"([^\p{L}\p{M}\p{N}]+)"));
    QStringList words;
    for (const QString &word : foldedSender.split(separators, Qt::SkipEmptyParts)) {
        const auto letters = std::count_if(word.cbegin(), word.cend(), [](QChar c) { return c.isLetter(); });
        if (letters >= 3 && !isLegalForm(word))
            words.append(word);
    }
    return words;
}

FieldCheck checkDate(QStringView datum, const Evidence &evidence, QDate today)
{
    const QString field = QStringLiteral("datum");
    const QStringView text = evidence.text;
    const std::optional<QDate> date = parseDate(datum);
    if (!date)
        return unverified(field, datum, "grounding.date.unreadable", datum.toString());
    if (*date > today)
        return unverified(field, datum, "grounding.date.future");
    if (date->year() < EarliestPlausibleYear)
        return unverified(field, datum, "grounding.date.tooEarly", QString::number(EarliestPlausibleYear));
    for (const FoundDate &found : findDates(text)) {
        if (found.date == *date)
            return verified(field, text, found.position, found.length);
    }
    if (date == evidence.captureDate)
        return {field, Status::verified, {}, evidence.captureStamp, text.indexOf(evidence.captureStamp)};
    if (!text.trimmed().isEmpty())
        return unverified(field, datum, "grounding.date.notFound");
    if (evidence.captureDate)
        return unverified(field, datum, "grounding.date.notCaptureDate",
                          evidence.captureDate->toString(QStringLiteral("dd.MM.yyyy")));
    return unverified(field, datum, "grounding.date.uncheckable");
}

FieldCheck checkAmount(QStringView betrag, QStringView text)
{
    const QString field = QStringLiteral("betrag");
    const std::optional<qint64> cents = parseAmount(betrag);
    if (text.trimmed().isEmpty())
        return unverified(field, betrag, "grounding.amount.uncheckable");
    if (!cents)
        return unverified(field, betrag, "grounding.amount.unreadable", betrag.toString());
    for (const FoundAmount &found : findAmounts(text)) {
        if (found.cents == *cents)
            return verified(field, text, found.position, found.length);
    }
    return unverified(field, betrag, "grounding.amount.notFound");
}

FieldCheck checkSender(QStringView absender, QStringView text)
{
    const QString field = QStringLiteral("absender");
    const FoldedText haystack = FoldedText::fold(text);
    const QString sender = FoldedText::fold(UnicodeText::nfc(absender.toString())).text;
    const auto found = [&](qsizetype at, qsizetype length) {
        const QStringView passage = haystack.sourceOf(text, at, length);
        return FieldCheck{field, Status::verified, {}, passage.toString(), passage.data() - text.data()};
    };
    if (const qsizetype at = sender.isEmpty() ? -1 : wholeWordAt(haystack.text, sender); at >= 0)
        return found(at, sender.size());
    // Else every significant word on its own: "Stadtwerke München GmbH" in "STADTWERKE MÜNCHEN".
    const QStringList words = significantWords(sender);
    qsizetype first = -1;
    for (const QString &word : words) {
        const qsizetype at = wholeWordAt(haystack.text, word);
        if (at < 0)
            return unverified(field, absender, "grounding.sender.notFound");
        if (first < 0)
            first = at;
    }
    if (words.isEmpty())
        return unverified(field, absender, "grounding.sender.notFound");
    return found(first, words.front().size());
}

} // namespace

QList<FieldCheck> Report::unverified() const
{
    QList<FieldCheck> list;
    for (const FieldCheck &field : fields) {
        if (field.status == Status::unverified)
            list.append(field);
    }
    return list;
}

QStringList Report::unverifiedFields() const
{
    QStringList names;
    for (const FieldCheck &field : unverified())
        names.append(field.field);
    return names;
}

Evidence evidence(const FileContext &context)
{
    Evidence evidence;
    // EXIF writes "2024:03:15 14:22:05", XMP and FFmpeg's tags ISO 8601; an e-mail's date has neither form.
    static const QRegularExpression stamp(QStringLiteral(R"(^(\d{4})[:-](\d{2})[:-](\d{2})(?:$|[ T]))"));
    const QString date = context.metadata.value(QStringLiteral("date")).trimmed();
    if (const QRegularExpressionMatch match = stamp.match(date); match.hasMatch()) {
        const QDate captured(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
        if (captured.isValid())
            evidence.captureDate = captured, evidence.captureStamp = date;
    }
    // A media file's "text" is a summary of its tags, written by us, not by the document.
    const QString excerpt = PromptContract::promptExcerpt(context);
    if (!context.isMediaSummary() && !excerpt.trimmed().isEmpty())
        evidence.text = excerpt + u'\n' + PromptContract::metadataLine(context);
    return evidence;
}

FieldCheck checkCategory(const QString &kategorie, const QStringList &categories)
{
    const QString field = QStringLiteral("kategorie");
    const QString wanted = kategorie.trimmed();
    for (const QString &category : categories) {
        if (category.compare(wanted, Qt::CaseInsensitive) == 0)
            return {field, Status::verified, {}, category, -1};
    }
    return unverified(field, kategorie, "grounding.category.notListed", wanted);
}

FieldCheck checkField(const QString &field, const QString &value, const QStringList &categories,
                      const Evidence &evidence, QDate today)
{
    if (field == u"datum")
        return checkDate(value, evidence, today);
    if (field == u"betrag")
        return checkAmount(value, evidence.text);
    // Neither is judged without text: a category alone says nothing about the file.
    if (evidence.text.trimmed().isEmpty())
        return {field, Status::notCheckable, {}, {}, -1};
    if (field == u"absender")
        return checkSender(value, evidence.text);
    return checkCategory(value, categories);
}

Report check(const AIExtraction &extraction, const QStringList &categories, const Evidence &evidence, QDate today)
{
    const std::array<std::pair<QString, const std::optional<QString> *>, 4> filled{{
        {QStringLiteral("datum"), &extraction.datum},
        {QStringLiteral("betrag"), &extraction.betrag},
        {QStringLiteral("absender"), &extraction.absender},
        {QStringLiteral("kategorie"), &extraction.kategorie},
    }};
    Evidence normalized = evidence;
    normalized.text = UnicodeText::nfc(evidence.text);
    Report report;
    for (const auto &[field, value] : filled) {
        if (!isBlank(*value))
            report.fields.append(checkField(field, **value, categories, normalized, today));
    }
    return report;
}

Report fallbackReport()
{
    return Report{{unverified(QStringLiteral("name"), {}, "grounding.fallback")}};
}

} // namespace Grounding
