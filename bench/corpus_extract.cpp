// Runs the app's extraction (the files read by the sandboxed helpers, as the app reads them) over
// real files and records what each gave, for corpus runs on files from outside the project. Not a
// benchmark with a target; built only with -DNAMORIX_CORPUS_TOOL=ON.
// Usage:
//   corpus_extract FILE                    prints the file's text and metadata
//   corpus_extract --list LIST OUTDIR      every path in LIST (one a line), two at a time; writes
//                                          OUTDIR/results.tsv (index, path, ok or error, ms,
//                                          characters, source, title, error) and each file's
//                                          text and metadata as OUTDIR/text/INDEX.txt
#include "benchprocess.h"
#include "extraction/contentextraction.h"

#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <functional>

namespace {

QString oneLine(QString text)
{
    return text.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
}

} // namespace

int main(int argc, char *argv[])
{
    prepareBenchProcess(argv);
    QGuiApplication app(argc, argv);
    const bool listMode = argc == 4 && qstrcmp(argv[1], "--list") == 0;
    if (argc != 2 && !listMode) {
        std::fprintf(stderr, "usage: corpus_extract FILE | --list LIST OUTDIR\n");
        return 2;
    }
    QStringList files;
    QString outDir;
    if (listMode) {
        QFile list(QString::fromLocal8Bit(argv[2]));
        if (!list.open(QIODevice::ReadOnly))
            return 2;
        for (const QByteArray &line : list.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                files << QString::fromUtf8(line.trimmed());
        outDir = QString::fromLocal8Bit(argv[3]);
        QDir().mkpath(outDir + QStringLiteral("/text"));
    } else {
        files << QString::fromLocal8Bit(argv[1]);
    }

    ExtractionSandbox sandbox(QStringLiteral(NAMORIX_EXTRACT_HELPER));
    QFile results(outDir + QStringLiteral("/results.tsv"));
    if (listMode && !results.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 2;

    QEventLoop loop;
    qsizetype next = 0, finished = 0;
    std::function<void()> startNext = [&] {
        const qsizetype index = next++;
        const QString path = files[index];
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        QCoro::connect(
            ContentExtraction::extractFileContext(path, sandbox), &loop,
            [&, index, path, timer](const ExtractionResult &result) {
                const double ms = double(timer->nsecsElapsed()) / 1e6;
                const QString text = result ? result->extractedText : QString();
                const QString dump = text + QStringLiteral("\n----\n") +
                                     (result ? formatMetadata(result->metadata).join(u'\n') : result.error().message);
                if (listMode) {
                    QFile out(QStringLiteral("%1/text/%2.txt").arg(outDir).arg(index));
                    if (out.open(QIODevice::WriteOnly))
                        out.write(dump.toUtf8());
                    const QStringList row{QString::number(index),
                                          path,
                                          result ? QStringLiteral("ok") : QStringLiteral("error"),
                                          QString::number(ms, 'f', 1),
                                          QString::number(text.trimmed().size()),
                                          result ? result->metadata.value(MetadataMap::SourceKey) : QString(),
                                          result ? oneLine(result->metadata.value(QStringLiteral("title"))) : QString(),
                                          result ? QString() : oneLine(result.error().message)};
                    results.write((row.join(u'\t') + u'\n').toUtf8());
                    results.flush();
                    std::fprintf(stderr, "%lld/%lld %.0f ms %s\n", (long long)finished + 1, (long long)files.size(), ms,
                                 qPrintable(path));
                } else {
                    std::printf("%s\n", qPrintable(dump));
                    std::printf("(%.0f ms)\n", ms);
                }
                if (++finished == files.size())
                    loop.quit();
                else if (next < files.size())
                    startNext();
            });
    };
    // As many files in flight as helpers run, so that each file's time is its own.
    for (int i = 0; i < std::max(1, QThread::idealThreadCount()) && next < files.size(); ++i)
        startNext();
    loop.exec();
    return 0;
}
