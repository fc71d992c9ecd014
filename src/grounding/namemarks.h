#pragma once

#include "grounding/groundingreport.h"
#include "naming/aiextraction.h"
#include "naming/renamerules.h"

#include <QDate>
#include <QList>
#include <QString>

namespace Grounding {

/**
 * Where each field of `report` stands in `name`: the name built without that field compared with
 * the name built with it (so the rules' date format, casing and separators need no second
 * implementation). None when `name` is not the built name. A fallback name ("name", no
 * extraction) is the whole name, extension excepted.
 */
[[nodiscard]] QList<FieldSpan> fieldSpans(const QString &name, const std::optional<AIExtraction> &extraction,
                                          const Report &report, const RenameRules &rules, const QString &extension);

/** The spans of the unverified fields, with their reasons. */
[[nodiscard]] QList<NameMark> nameMarks(const QList<FieldSpan> &spans, const QList<FieldCheck> &unverified);

/**
 * The explanation for `name`, which the user gave instead of `explanation.builtName`. Each field
 * is judged by what now stands where it stood: unchanged, it keeps its result; a date or amount
 * typed in its place is checked against the same evidence (a date in any form the date finder
 * reads or in the rules' format); anything else there, a rewritten sender or category or a
 * fallback name the user replaced, is the user's and leaves nothing to check.
 */
[[nodiscard]] Explanation edited(const Explanation &explanation, const QString &name, DateFormatStyle dateFormat,
                                 QDate today = QDate::currentDate());

} // namespace Grounding
