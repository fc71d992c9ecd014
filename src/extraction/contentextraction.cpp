#include "contentextraction.h"

#include "common/unicodetext.h"
#include "companion/kvxclient.h"
#include "extraction/processortable.h"

#include <QCoroFuture>
#include <QThreadPool>
#include <QtConcurrent>

namespace ContentExtraction {

QThreadPool &workers()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setObjectName(QStringLiteral("extraction"));
        p->setExpiryTimeout(-1);
        p->setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
        return p;
    }();
    return *pool;
}

bool usesCompanion(const QString &lowerExtension)
{
    static const QSet<QString> extensions{QStringLiteral("pdf"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                          QStringLiteral("png"), QStringLiteral("heic"), QStringLiteral("heif"),
                                          QStringLiteral("tiff"), QStringLiteral("tif")};
    return extensions.contains(lowerExtension);
}

QCoro::Task<ExtractionResult> extractFileContext(QString path, KVXClient &companion)
{
    if (usesCompanion(lowerExtension(path))) {
        const KVXResult<QString> text = co_await companion.extractText(path);
        if (text) {
            const QString excerpt = UnicodeText::leftGraphemes(*text, TextLimits::Document);
            // Named future, not a temporary inside co_await: see docs/decisions.md.
            QFuture<ExtractionResult> described = QtConcurrent::run(&workers(), [path, excerpt]() -> ExtractionResult {
                return FileContext::make(path, excerpt, MetadataMap{{QStringLiteral("source"), QStringLiteral("kvx")}});
            });
            co_return co_await described;
        }
    }
    const FileProcessor *processor = &ProcessorTable::processorFor(path);
    QFuture<ExtractionResult> extracted = QtConcurrent::run(&workers(), [processor, path] { return processor->extract(path); });
    co_return co_await extracted;
}

} // namespace ContentExtraction
