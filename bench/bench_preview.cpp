// The preview window drawing through the extraction helpers, in one run on the same generated
// files: from the request (showFile) to the page or picture on screen, against a plain extraction
// request for the same file through the same helpers:
//  - an A4 invoice PDF, text (target: the page on screen within 150 ms, with a helper running and
//    with one to start);
//  - an A4 scan as PDF and a 12-megapixel camera photo, for comparison.
// Warm figures are the median of several previews with a helper running; cold ones the first
// preview of a fresh set of helpers, which starts one.
// Usage: bench_preview [runs, default 9]
#include "benchcorpus.h"
#include "benchprocess.h"
#include "extraction/contentextraction.h"
#include "ui/preview/previewwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

double median(QList<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// From the request to the page painted in the window; negative when no picture came.
double previewMs(PreviewWindow &preview, const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    preview.showFile(QUrl::fromLocalFile(path));
    while (!preview.isReady())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    preview.repaint();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const auto *image = qobject_cast<const QLabel *>(preview.currentView());
    return image && !image->pixmap().isNull() ? ms : -1;
}

double extractionMs(ExtractionSandbox &sandbox, const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    bool read = false;
    QCoro::connect(ContentExtraction::extractFileContext(path, sandbox), &loop, [&](const ExtractionResult &result) {
        read = bool(result);
        loop.quit();
    });
    loop.exec();
    return read ? double(timer.nsecsElapsed()) / 1e6 : -1;
}

struct Figures {
    double cold = 0, warm = 0, extraction = 0;
};

Figures measure(const QString &path, int runs)
{
    Figures figures;
    ExtractionSandbox sandbox(QStringLiteral(NAMORIX_EXTRACT_HELPER));
    PreviewWindow preview(nullptr, &sandbox);
    figures.cold = previewMs(preview, path);
    QList<double> previews, extractions;
    for (int i = 0; i < runs; ++i) {
        previews << previewMs(preview, path);
        extractions << extractionMs(sandbox, path);
    }
    figures.warm = std::ranges::min(previews) < 0 ? -1 : median(previews);
    figures.extraction = std::ranges::min(extractions) < 0 ? -1 : median(extractions);
    return figures;
}

QtMessageHandler g_printer = nullptr;

// The offscreen platform says at every preview that it cannot raise a window.
void quietPlatform(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.startsWith(QLatin1StringView("This plugin does not support")))
        g_printer(type, context, message);
}

} // namespace

int main(int argc, char *argv[])
{
    prepareBenchProcess(argv);
    g_printer = qInstallMessageHandler(quietPlatform);
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("rechnung.pdf")),
                  scanned = dir.filePath(QStringLiteral("scan.pdf")),
                  camera = dir.filePath(QStringLiteral("IMG_0001.jpg"));
    writePdf(text, 1, false);
    writePdf(scanned, 2, true);
    photo(3).save(camera, "JPEG", 85);

    const Figures page = measure(text, runs);
    const Figures scan = measure(scanned, runs);
    const Figures picture = measure(camera, std::min(runs, 3));
    const auto line = [](const char *what, const Figures &f) {
        std::printf("%-22s preview %6.1f ms (first, starting a helper %6.1f ms)   extraction %7.1f ms   "
                    "ratio %.2fx\n",
                    what, f.warm, f.cold, f.extraction, f.warm / f.extraction);
    };
    line("A4 PDF, text:", page);
    line("A4 PDF, scanned:", scan);
    line("photo, 4000x3000 JPEG:", picture);
    std::printf(
        "A4 text page on screen within %.0f ms of the request, %.0f ms with a helper to start (target <= 150 ms)\n",
        page.warm, page.cold);
    const bool met =
        page.warm > 0 && page.cold > 0 && page.warm <= 150 && page.cold <= 150 && scan.warm > 0 && picture.warm > 0;
    return met ? 0 : 1;
}
