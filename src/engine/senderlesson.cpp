#include "senderlesson.h"

#include "grounding/namemarks.h"
#include "naming/namebuilder.h"
#include "naming/renamerules.h"

namespace {

using Grounding::FieldSpan;

std::optional<QString> spanText(const QString &name, const QList<FieldSpan> &spans, const QString &field)
{
    const auto span = std::ranges::find(spans, field, &FieldSpan::field);
    if (span == spans.end() || span->length == 0)
        return std::nullopt;
    return name.mid(span->start, span->length);
}

} // namespace

std::optional<LearnedSender> SenderLesson::from(const RenameJob &job, const RenameRules &rules)
{
    const std::shared_ptr<const Grounding::Explanation> explanation = job.explanation;
    if (!explanation || !explanation->extraction || explanation->senderIdentifiers.isEmpty())
        return std::nullopt;
    const AIExtraction &suggested = *explanation->extraction;
    // The name as suggested, to tell what the user changed in the name as applied.
    const QString builtName = NameBuilder::buildFileName(suggested, rules, explanation->fileExtension);
    const QList<FieldSpan> builtSpans =
        Grounding::fieldSpans(builtName, suggested, explanation->report, rules, explanation->fileExtension);
    const QString separator = rawValue(rules.separator());
    // Each field as it stands in the applied name: the suggestion's spelling when untouched, the user's text if
    // retyped.
    const auto kept = [&](const QString &field,
                          const std::optional<QString> &suggestedValue) -> std::optional<QString> {
        const std::optional<QString> now = spanText(explanation->builtName, explanation->spans, field);
        if (!now)
            return explanation->builtName == builtName ? suggestedValue : std::nullopt;
        if (now == spanText(builtName, builtSpans, field))
            return suggestedValue;
        return QString(*now).replace(separator, QStringLiteral(" ")).simplified();
    };

    LearnedSender lesson;
    const std::optional<QString> absender = kept(QStringLiteral("absender"), suggested.absender);
    if (!absender || absender->isEmpty())
        return std::nullopt;
    lesson.absender = *absender;
    if (const std::optional<QString> kategorie = kept(QStringLiteral("kategorie"), suggested.kategorie)) {
        // Only a category of the user's list is one to choose again.
        for (const QString &category : rules.categories()) {
            if (category.compare(*kategorie, Qt::CaseInsensitive) == 0)
                lesson.kategorie = category;
        }
    }
    lesson.beschreibung = kept(QStringLiteral("beschreibung"), suggested.beschreibung).value_or(suggested.beschreibung);
    lesson.identifiers = explanation->senderIdentifiers;
    return lesson;
}
