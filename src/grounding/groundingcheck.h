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
 * What the prompt carried from the file, to check against. The text is the excerpt, a line feed
 * and the metadata line (an e-mail's sender and date live there); it is empty when the file gave
 * no text of its own (no text at all, or only the summary of a media file). The capture date is
 * the one a picture's EXIF or XMP or a recording's tags give in the "date" entry.
 */
[[nodiscard]] Evidence evidence(const FileContext &context);

/**
 * One entry per filled field of `extraction`. Without text a date is checked against the capture
 * date alone and an amount cannot be backed (both unverified then); sender and category are not
 * checkable.
 */
[[nodiscard]] Report check(const AIExtraction &extraction, const QStringList &categories, const Evidence &evidence,
                           QDate today = QDate::currentDate());

/** One field ("datum", "betrag", "absender", "kategorie") with `value`, as check() does it. */
[[nodiscard]] FieldCheck checkField(const QString &field, const QString &value, const QStringList &categories,
                                    const Evidence &evidence, QDate today = QDate::currentDate());

/** The report of a fallback name (a reply without the JSON object): the name is unverified. */
[[nodiscard]] Report fallbackReport();

[[nodiscard]] FieldCheck checkCategory(const QString &kategorie, const QStringList &categories);

} // namespace Grounding
