#include "namemarks.h"

#include "common/filenames.h"
#include "naming/namebuilder.h"
#include "naming/namediff.h"

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

} // namespace

QList<NameMark> nameMarks(const QString &name, const std::optional<AIExtraction> &extraction,
                          const QList<FieldCheck> &unverified, const RenameRules &rules, const QString &extension)
{
    QList<NameMark> marks;
    if (!extraction) {
        for (const FieldCheck &check : unverified) {
            if (check.field == u"name")
                marks.append({0, FileNames::baseName(name).size(), check.reason});
        }
        return marks;
    }
    if (NameBuilder::buildFileName(*extraction, rules, extension) != name)
        return marks;
    for (const FieldCheck &check : unverified) {
        const std::optional<AIExtraction> reduced = without(*extraction, check.field);
        if (!reduced)
            continue;
        const QString shorter = NameBuilder::buildFileName(*reduced, rules, extension);
        qsizetype at = 0;
        for (const NameDiff::Segment &segment : NameDiff::compute(shorter, name).newSide) {
            if (segment.kind == NameDiff::Segment::Kind::added)
                marks.append({at, segment.text.size(), check.reason});
            at += segment.text.size();
        }
    }
    return marks;
}

} // namespace Grounding
