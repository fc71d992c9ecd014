#include "namemarks.h"

#include "common/filenames.h"
#include "common/unicodetext.h"
#include "grounding/datefinder.h"
#include "grounding/groundingcheck.h"
#include "naming/namebuilder.h"
#include "naming/namediff.h"

#include <QRegularExpression>

#include <algorithm>

namespace Grounding {
namespace {

/** The extraction without `field`; nullopt for a field the name builder never reads. */
std::optional<AIExtraction> without(AIExtraction extraction, const QString &field)
{
    if (field == u"datum")
        extraction.datum.reset();
    else if (field == u"betrag")
        extraction.betrag.reset();
    else if (field == u"absender")
        extraction.absender.reset();
    else if (field == u"kategorie")
        extraction.kategorie.reset();
    else
        return std::nullopt;
    return extraction;
}

/** A grapheme both names share: where it stands in the old and in the new base name. */
struct Anchor {
    qsizetype oldStart, oldEnd, newStart, newEnd;
};

QList<std::pair<qsizetype, qsizetype>> unchangedGraphemes(const QList<NameDiff::Segment> &side)
{
    QList<std::pair<qsizetype, qsizetype>> graphemes;
    qsizetype at = 0;
    for (const NameDiff::Segment &segment : side) {
        if (segment.kind != NameDiff::Segment::Kind::unchanged) {
            at += segment.text.size();
            continue;
        }
        for (const QString &grapheme : UnicodeText::graphemes(segment.text)) {
            graphemes.append({at, at + grapheme.size()});
            at += grapheme.size();
        }
    }
    return graphemes;
}

QList<Anchor> anchors(const QString &oldName, const QString &newName)
{
    const NameDiff::Sides sides = NameDiff::compute(oldName, newName);
    const auto before = unchangedGraphemes(sides.oldSide);
    const auto after = unchangedGraphemes(sides.newSide);
    QList<Anchor> anchors;
    for (qsizetype i = 0; i < std::min(before.size(), after.size()); ++i)
        anchors.append({before[i].first, before[i].second, after[i].first, after[i].second});
    return anchors;
}

/**
 * Where `span` of the old name stands in the new one: from its first grapheme if that stayed, else
 * from the last shared one before it, to its last grapheme if that stayed, else to the next shared
 * one after it. Text typed in place of the field is thus the field's.
 */
FieldSpan moved(const FieldSpan &span, const QList<Anchor> &anchors, qsizetype newLength)
{
    const qsizetype from = span.start, to = span.start + span.length;
    qsizetype start = 0, end = newLength;
    bool firstStayed = false;
    for (const Anchor &anchor : anchors) {
        if (span.length > 0 && anchor.oldStart == from)
            start = anchor.newStart, firstStayed = true;
        else if (!firstStayed && anchor.oldEnd <= from)
            start = anchor.newEnd;
        if (span.length > 0 && anchor.oldEnd == to && anchor.oldStart >= from) {
            end = anchor.newEnd;
            break;
        }
        if (anchor.oldStart >= to) {
            end = anchor.newStart;
            break;
        }
    }
    return {span.field, start, std::max(end, start) - start};
}

bool isLetterOrNumber(QChar c)
{
    return c.isLetterOrNumber();
}

/** `text` without what surrounds the field's value in a name: separators, dots, spaces. */
QString core(const QString &text)
{
    const auto first = std::find_if(text.cbegin(), text.cend(), isLetterOrNumber);
    const auto last = std::find_if(text.crbegin(), text.crend(), isLetterOrNumber).base();
    return first < last ? QString(first, last - first) : QString();
}

/**
 * The value a date or amount has where it stands in a name, as a reply would give it; none when
 * the text there is no such value (the user wrote something else in its place).
 */
std::optional<QString> valueInName(const QString &field, const QString &text, DateFormatStyle dateFormat)
{
    if (field == u"betrag") {
        static const QRegularExpression number(QStringLiteral(R"(^\d(?:[\d.,]*\d)?$)"));
        return number.match(text).hasMatch() ? std::optional<QString>(text) : std::nullopt;
    }
    if (field != u"datum")
        return std::nullopt;
    // The two forms of the rules the date finder does not read: 03-15-2024 and 20240315.
    static const QRegularExpression us(QStringLiteral(R"((?<!\d)(\d{1,2})-(\d{1,2})-(\d{4})(?!\d))"));
    static const QRegularExpression compact(QStringLiteral(R"((?<!\d)(\d{4})(\d{2})(\d{2})(?!\d))"));
    const bool monthFirst = dateFormat == DateFormatStyle::us;
    if (monthFirst || dateFormat == DateFormatStyle::compact) {
        if (const QRegularExpressionMatch match = (monthFirst ? us : compact).match(text); match.hasMatch()) {
            const QDate date(match.captured(monthFirst ? 3 : 1).toInt(), match.captured(monthFirst ? 1 : 2).toInt(),
                             match.captured(monthFirst ? 2 : 3).toInt());
            if (date.isValid())
                return date.toString(Qt::ISODate);
        }
    }
    const QList<FoundDate> dates = findDates(text);
    return dates.isEmpty() ? std::nullopt : std::optional<QString>(dates.front().date.toString(Qt::ISODate));
}

int rank(const FieldCheck &check)
{
    static const QStringList order{QStringLiteral("datum"), QStringLiteral("betrag"), QStringLiteral("absender"),
                                   QStringLiteral("kategorie")};
    const qsizetype at = order.indexOf(check.field);
    return at < 0 ? int(order.size()) : int(at);
}

} // namespace

QList<FieldSpan> fieldSpans(const QString &name, const std::optional<AIExtraction> &extraction, const Report &report,
                            const RenameRules &rules, const QString &extension)
{
    QList<FieldSpan> spans;
    if (!extraction) {
        for (const FieldCheck &check : report.fields) {
            if (check.field == u"name")
                spans.append({check.field, 0, FileNames::baseName(name).size()});
        }
        return spans;
    }
    if (NameBuilder::buildFileName(*extraction, rules, extension) != name)
        return spans;
    for (const FieldCheck &check : report.fields) {
        const std::optional<AIExtraction> reduced = without(*extraction, check.field);
        if (!reduced)
            continue;
        qsizetype at = 0, first = -1, end = -1;
        for (const NameDiff::Segment &segment :
             NameDiff::compute(NameBuilder::buildFileName(*reduced, rules, extension), name).newSide) {
            if (segment.kind == NameDiff::Segment::Kind::added) {
                first = first < 0 ? at : first;
                end = at + segment.text.size();
            }
            at += segment.text.size();
        }
        if (first >= 0)
            spans.append({check.field, first, end - first});
    }
    return spans;
}

QList<NameMark> nameMarks(const QList<FieldSpan> &spans, const QList<FieldCheck> &unverified)
{
    QList<NameMark> marks;
    for (const FieldCheck &check : unverified) {
        const auto span = std::ranges::find(spans, check.field, &FieldSpan::field);
        if (span != spans.end() && span->length > 0)
            marks.append({span->start, span->length, check.reason});
    }
    return marks;
}

Explanation edited(const Explanation &explanation, const QString &name, DateFormatStyle dateFormat, QDate today)
{
    Explanation result = explanation;
    result.builtName = name;
    result.spans.clear();
    const QString oldBase = FileNames::baseName(explanation.builtName);
    const QString newBase = FileNames::baseName(name);
    const QList<Anchor> shared = anchors(explanation.builtName, name);
    Evidence evidence = explanation.evidence;
    evidence.text = UnicodeText::nfc(evidence.text);
    QList<FieldCheck> &fields = result.report.fields;
    for (const FieldSpan &span : explanation.spans) {
        const FieldSpan now = moved(span, shared, newBase.size());
        const QString text = newBase.mid(now.start, now.length);
        result.spans.append(now);
        if (UnicodeText::nfc(text) == UnicodeText::nfc(oldBase.mid(span.start, span.length)))
            continue;
        fields.removeIf([&](const FieldCheck &check) { return check.field == span.field; });
        if (const std::optional<QString> value = valueInName(span.field, core(text), dateFormat))
            fields.append(checkField(span.field, *value, {}, evidence, today));
    }
    std::ranges::stable_sort(fields, {}, rank);
    result.marks = nameMarks(result.spans, result.report.unverified());
    return result;
}

} // namespace Grounding
