#pragma once

#include "extraction/extractionresult.h"
#include "extraction/sandbox/extractionsandbox.h"

#include <QCoroTask>
#include <QFuture>

#include <atomic>
#include <chrono>
#include <memory>

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

/**
 * Opens `path` for a helper on a worker: SourceFile::open with its contentPath, so a link,
 * FIFO, device or system file is marked as no content and never opened for reading.
 */
[[nodiscard]] QFuture<std::shared_ptr<SourceFile>> open(const QString &path);

/**
 * The content of an opened file (open(), or a descriptor the caller opened). Call on the GUI
 * thread. What is no content is described without being read; anything else goes to one of
 * `sandbox`'s helpers, where the chosen processor reads the descriptor, or, when nothing is open,
 * answers from the file's name alone. No processor runs in this process. Fails with the
 * processor's error or the helper's failure. Once `*stop` is true,
 * ExtractionSandbox::stopCancelled ends the file's extraction.
 */
[[nodiscard]] QCoro::Task<ExtractionResult> extractFileContext(SourceFile file,
                                                               ExtractionSandbox &sandbox = ExtractionSandbox::shared(),
                                                               std::shared_ptr<std::atomic_bool> stop = {});

/** The same for `path`, opened on a worker first. */
[[nodiscard]] QCoro::Task<ExtractionResult> extractFileContext(QString path,
                                                               ExtractionSandbox &sandbox = ExtractionSandbox::shared(),
                                                               std::shared_ptr<std::atomic_bool> stop = {});

} // namespace ContentExtraction
