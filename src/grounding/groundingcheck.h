#pragma once

#include "grounding/groundingreport.h"
#include "naming/aiextraction.h"

#include <QDate>
#include <QStringList>
#include <QStringView>

struct FileContext;

/**
 * Whether the fields a model returned are backed by the text it was given. Pure functions, safe
 * on any thread. Positions refer to the NFC form of the checked text (the same as the text itself
 * for nearly every document).
 */
namespace Grounding {

/**
 * What the prompt carried from the file, to check against: the text excerpt, a line feed and the
 * metadata line (an e-mail's sender and date live there). Empty when the file gave no text of its
 * own (no text at all, or only the summary of a media file): such a file is not checkable.
 */
[[nodiscard]] QString checkedText(const FileContext &context);

/** One entry per filled field of `extraction`; all "not checkable" when `text` is blank. */
[[nodiscard]] Report check(const AIExtraction &extraction, const QStringList &categories, QStringView text,
                           QDate today = QDate::currentDate());

/** The report of a fallback name (a reply without the JSON object): the name is unverified. */
[[nodiscard]] Report fallbackReport();

[[nodiscard]] FieldCheck checkDate(QStringView datum, QStringView text, QDate today);
[[nodiscard]] FieldCheck checkAmount(QStringView betrag, QStringView text);
[[nodiscard]] FieldCheck checkSender(QStringView absender, QStringView text);
[[nodiscard]] FieldCheck checkCategory(const QString &kategorie, const QStringList &categories);

} // namespace Grounding
