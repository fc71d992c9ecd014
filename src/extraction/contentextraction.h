#pragma once

#include "extraction/extractionresult.h"
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
 * The workers that open files for the helpers, and that run the in-process path of the tests and
 * benchmarks (localextraction.h). A thread there keeps its per-thread state (there, a costly text
 * recognition engine) while there is work, and ends after a minute without any: its state is
 * freed, and when the last one ends the freed heap is returned to the system.
 */
[[nodiscard]] QThreadPool &workers();

/**
 * Call first in every task on workers(), so that the thread's lifetime guard is made before (and
 * destroyed after) every other thread-local object of the worker.
 */
void enterWorker();

/** Runs when the last worker has ended, before the heap is trimmed (the in-process path frees shared caches). */
void setLastWorkerRelease(void (*release)());

/** How long a worker waits for work before it ends and releases its memory (default a minute). */
void setIdleRelease(std::chrono::milliseconds delay);

/** Workers that have run extraction and not yet ended. */
[[nodiscard]] int liveWorkers();

/**
 * The file that holds the content of `path`: the path itself, but for an RTFD bundle (a folder
 * named like an RTF file, not a link), its TXT.rtf beside the attachments.
 */
[[nodiscard]] QString contentPath(const QString &path);

/** Whether the companion shortcut is tried for this extension (PDFs and images). */
[[nodiscard]] bool usesCompanion(const QString &lowerExtension);

/**
 * The content of one file. Call on the GUI thread: the companion client is asked there (for
 * PDFs and images it has indexed, its text wins — except over a PDF's embedded e-invoice; any
 * failure of it is dropped silently). The
 * file is then opened on a worker (a regular file outside the system areas, no link) and read by
 * the chosen processor in one of `sandbox`'s helpers; what is no such file is described without
 * being opened, and what cannot be opened is answered by a helper's processor from its name
 * alone. No processor runs in this process. Fails with the processor's error or the helper's
 * failure.
 * Once `*stop` is true, ExtractionSandbox::stopCancelled ends the file's extraction.
 */
[[nodiscard]] QCoro::Task<ExtractionResult> extractFileContext(QString path, KVXClient &companion,
                                                               ExtractionSandbox &sandbox = ExtractionSandbox::shared(),
                                                               std::shared_ptr<std::atomic_bool> stop = {});

} // namespace ContentExtraction
