// Memory after work: four passes of content extraction over a generated mixed corpus (text and
// scanned PDFs, scans as PNG, TIFF and WebP, large camera JPEGs, HTML, e-mail, text), four files
// at once on the extraction workers as in the app, then the idle delay without work. Reports the
// resident size (RSS) after start-up (the baseline of this run), after each pass and after the
// idle delay. Targets: no growth from pass 2 to pass 4 (≤ 1.05×); idle RSS < 150 MiB.
// Usage: bench_memory [idle seconds, default 60]
#include "benchcorpus.h"
#include "benchprocess.h"
#include "extraction/contentextraction.h"
#include "extraction/localextraction.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>

namespace {

void write(const QString &path, const QString &text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
}

QStringList makeCorpus(const QTemporaryDir &dir)
{
    QStringList files;
    auto add = [&](const QString &name) {
        files << dir.filePath(name);
        return files.last();
    };
    for (int n = 0; n < 16; ++n)
        writePdf(add(QStringLiteral("text%1.pdf").arg(n)), n, false);
    for (int n = 0; n < 4; ++n)
        writePdf(add(QStringLiteral("scan%1.pdf").arg(n)), n, true);
    for (int n = 0; n < 4; ++n) {
        scan(n).save(add(QStringLiteral("scan%1.png").arg(n)));
        scan(n + 10).save(add(QStringLiteral("scan%1.tiff").arg(n)));
        scan(n + 20).save(add(QStringLiteral("scan%1.webp").arg(n)), "WEBP", 80);
    }
    for (int n = 0; n < 8; ++n)
        photo(n).save(add(QStringLiteral("IMG_%1.jpg").arg(n)), "JPEG", 85);
    for (int n = 0; n < 12; ++n) {
        write(add(QStringLiteral("seite%1.html").arg(n)),
              QStringLiteral("<html><head><title>Rechnung %1</title></head><body><p>%2</p></body></html>")
                  .arg(n)
                  .arg(invoiceText(n).repeated(30)));
        write(
            add(QStringLiteral("mail%1.eml").arg(n)),
            QStringLiteral("From: a@example.org\nSubject: Rechnung %1\n\n%2").arg(n).arg(invoiceText(n).repeated(10)));
        write(add(QStringLiteral("notiz%1.txt").arg(n)), invoiceText(n).repeated(40));
    }
    return files;
}

void pass(const QStringList &files)
{
    // Four at a time, as the rename engine runs them.
    for (qsizetype i = 0; i < files.size(); i += 4) {
        for (qsizetype j = i; j < std::min(files.size(), i + 4); ++j)
            ContentExtraction::extractLocally(files[j]).then([](const ExtractionResult &) {});
        // Not QFuture::waitForFinished: it may run a task on this thread, which is no worker.
        ContentExtraction::workers().waitForDone();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    prepareBenchProcess(argv);
    QGuiApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    ContentExtraction::setIdleRelease(std::chrono::seconds(idleSeconds));

    QTemporaryDir dir;
    const QStringList files = makeCorpus(dir);
    malloc_trim(0); // the corpus was made in this process; its buffers are not the workers' doing
    const double baseline = rssMiB();
    std::printf("corpus: %lld files; baseline RSS %.1f MiB\n", (long long)files.size(), baseline);

    QList<double> passes;
    for (int n = 1; n <= 4; ++n) {
        QElapsedTimer timer;
        timer.start();
        pass(files);
        passes << rssMiB();
        std::printf("after pass %d: RSS %6.1f MiB (%.2fx baseline), %.1f s\n", n, passes.last(),
                    passes.last() / baseline, double(timer.elapsed()) / 1000);
    }
    // Workers end one idle delay after their last task; allow a little for the threads to wind down.
    QElapsedTimer idle;
    idle.start();
    while (ContentExtraction::liveWorkers() > 0 && idle.elapsed() < (idleSeconds + 30) * 1000)
        QThread::msleep(200);
    QThread::msleep(500);
    const double idleRss = rssMiB();
    const double growth = passes[3] / passes[1];
    std::printf("after %d s idle: RSS %6.1f MiB (%.2fx baseline, %.2fx pass 4); growth pass 2 -> 4: %.2fx\n",
                idleSeconds, idleRss, idleRss / baseline, idleRss / passes.last(), growth);
    std::printf("targets: growth <= 1.05x; idle < 150 MiB\n");
    return growth <= 1.05 && idleRss < 150 ? 0 : 1;
}
