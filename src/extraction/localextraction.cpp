#include "localextraction.h"

#include "extraction/contentextraction.h"
#include "extraction/fileprocessor.h"
#include "extraction/processortable.h"
#include "extraction/textrecognizer.h"

#include <QtConcurrent>

namespace ContentExtraction {

QFuture<ExtractionResult> extractLocally(const QString &path)
{
    // A worker keeps its recognition engine; the last one to end drops the shared dictionaries.
    static const bool released = (setLastWorkerRelease(&TextRecognizer::releaseSharedCaches), true);
    Q_UNUSED(released);
    const FileProcessor *processor = &ProcessorTable::processorFor(path);
    return QtConcurrent::run(&workers(), [processor, path] {
        enterWorker();
        return processor->extract(path);
    });
}

} // namespace ContentExtraction
