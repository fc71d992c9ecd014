#pragma once

#include "naming/aiextraction.h"
#include "store/learnedsender.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct FileContext;

/** The on-device namer's answer for one file: the fields, where each came from, and whether they are sure. */
struct LocalNaming {
    AIExtraction extraction;
    QHash<QString, FieldSource> sources; ///< "datum", "kategorie", "beschreibung", "absender", "betrag"
    /** Date and sender found surely, and the total where the document has one: no model needs asking. */
    bool sure = false;
};

/**
 * Names a file from what it says of itself, with no network and no model: the document's own
 * date, the total to pay, the issuer, the kind among the user's categories and a short
 * description, read by rules kept in data tables (one per field and language). An e-invoice's
 * data wins over its text; a known sender is recognised by its identifiers and named as the user
 * spelled it. Pure and thread-safe: may run on any thread.
 */
namespace LocalNamer {

[[nodiscard]] LocalNaming name(const FileContext &context, const QStringList &categories,
                               const QList<LearnedSender> &learned = {});

/** The identifiers the document gives of its issuer (never of the recipient or the paying bank). */
[[nodiscard]] QStringList senderIdentifiers(const FileContext &context);

} // namespace LocalNamer
