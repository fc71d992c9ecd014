#pragma once

#include "extraction/fileprocessor.h"

#include <QCoroTask>
#include <QFuture>

#include <chrono>

class KVXClient;
class QThreadPool;

namespace ContentExtraction {

/**
 * The workers that extraction runs on. Each thread keeps its text recognition engine (costly to
 * load) while there is work, and ends after a minute without any: its engine and per-thread
 * caches are freed, and when the last one ends the freed heap is returned to the system.
 */
[[nodiscard]] QThreadPool &workers();

/** How long a worker waits for work before it ends and releases its memory (default a minute). */
void setIdleRelease(std::chrono::milliseconds delay);

/** Workers that have run extraction and not yet ended. */
[[nodiscard]] int liveWorkers();

/** Whether the companion shortcut is tried for this extension (PDFs and images). */
[[nodiscard]] bool usesCompanion(const QString &lowerExtension);

/**
 * The content of one file. Call on the GUI thread: the companion client is asked there (for
 * PDFs and images it has indexed, its text wins; any failure of it is dropped silently), and
 * the chosen processor then runs on a worker. Fails only with that processor's error.
 */
[[nodiscard]] QCoro::Task<ExtractionResult> extractFileContext(QString path, KVXClient &companion);

/** The content of one file from the processor table alone, extracted on a worker. */
[[nodiscard]] QFuture<ExtractionResult> extractLocally(const QString &path);

} // namespace ContentExtraction
