#pragma once

#include "extraction/fileprocessor.h"
#include "extraction/sandbox/extractionsandbox.h"

#include <QCoroTask>
#include <QFuture>

#include <atomic>
#include <chrono>
#include <memory>

class KVXClient;
class QThreadPool;

namespace ContentExtraction {

/**
 * The workers that open files for the helpers, and that run the in-process path. A thread there
 * keeps its text recognition engine (costly to load) while there is work, and ends after a
 * minute without any: its engine and per-thread caches are freed, and when the last one ends the
 * freed heap is returned to the system.
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
 * PDFs and images it has indexed, its text wins — except over a PDF's embedded e-invoice; any
 * failure of it is dropped silently). The
 * file is then opened on a worker (a regular file outside the system areas, no link) and read by
 * the chosen processor in one of `sandbox`'s helpers; what is no such file is described or found
 * unreadable without being parsed. Fails with the processor's error or the helper's failure.
 * Once `*stop` is true, ExtractionSandbox::stopCancelled ends the file's extraction.
 */
[[nodiscard]] QCoro::Task<ExtractionResult> extractFileContext(QString path, KVXClient &companion,
                                                               ExtractionSandbox &sandbox = ExtractionSandbox::shared(),
                                                               std::shared_ptr<std::atomic_bool> stop = {});

/**
 * The content of one file from the processor table alone, extracted in this process on a
 * worker: for tests and for the benchmarks' baseline, never for the user's files.
 */
[[nodiscard]] QFuture<ExtractionResult> extractLocally(const QString &path);

} // namespace ContentExtraction
