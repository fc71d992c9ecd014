#pragma once

#include "extraction/extractionresult.h"

#include <QFuture>

namespace ContentExtraction {

/**
 * The content of one file from the processor table alone, extracted in this process on a
 * worker: for tests and for the benchmarks' baseline, never for the user's files. Part of the
 * parser library, which the app does not link.
 */
[[nodiscard]] QFuture<ExtractionResult> extractLocally(const QString &path);

} // namespace ContentExtraction
