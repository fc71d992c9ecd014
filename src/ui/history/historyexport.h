#pragma once

#include "store/renamerecord.h"

#include <QByteArray>
#include <QList>

/** The history as exported: records in list order, written exactly as they are. */
namespace HistoryExport {

/** "Original;Neu;Datum;Provider;Rückgängig" and one line per record; ";" inside names stays unquoted. */
[[nodiscard]] QByteArray csv(const QList<RenameRecord> &records);
/** An indented array of objects with string members, "reverted" included ("true"/"false"). */
[[nodiscard]] QByteArray json(const QList<RenameRecord> &records);

} // namespace HistoryExport
