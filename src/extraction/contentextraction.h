#pragma once

#include "extraction/fileprocessor.h"

#include <QCoroTask>

class KVXClient;
class QThreadPool;

namespace ContentExtraction {

/**
 * The workers that extraction runs on. Their threads never expire, so each keeps its text
 * recognition engine (costly to load) for the life of the process.
 */
[[nodiscard]] QThreadPool &workers();

/** Whether the companion shortcut is tried for this extension (PDFs and images). */
[[nodiscard]] bool usesCompanion(const QString &lowerExtension);

/**
 * The content of one file. Call on the GUI thread: the companion client is asked there (for
 * PDFs and images it has indexed, its text wins; any failure of it is dropped silently), and
 * the chosen processor then runs on a worker. Fails only with that processor's error.
 */
[[nodiscard]] QCoro::Task<ExtractionResult> extractFileContext(QString path, KVXClient &companion);

} // namespace ContentExtraction
