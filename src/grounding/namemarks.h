#pragma once

#include "grounding/groundingreport.h"
#include "naming/aiextraction.h"

#include <QList>
#include <QString>

class RenameRules;

namespace Grounding {

/**
 * Where each unverified field shows in `name`: the name built without that field compared with
 * the name built with it (so the rules' date format, casing and separators need no second
 * implementation). None when `name` is not the built name any more (the user edited it). A
 * fallback name ("name" unverified, no extraction) is marked whole, extension excepted.
 */
[[nodiscard]] QList<NameMark> nameMarks(const QString &name, const std::optional<AIExtraction> &extraction,
                                        const QList<FieldCheck> &unverified, const RenameRules &rules,
                                        const QString &extension);

} // namespace Grounding
