// Document extraction against the command-line tools that do the same job, in one run on the
// same generated inputs:
//  - PDF text layer: PDFProcessor::extract on a 10-page text PDF vs `pdftotext file.pdf -`
//    (target: within 1.5x);
//  - text recognition: TextRecognizer::recognize on a 300-dpi A4 page with the engine already
//    loaded by an earlier page vs `tesseract page.png - -l deu+eng` with OMP_THREAD_LIMIT=1
//    (target: not slower);
//  - pictures without text: ImageProcessor::extract on 4096×4096 wallpapers (a smooth gradient,
//    a photo-like meadow) vs recognize on the A4 page above (target: at most 0.25x, a second
//    where the page takes four); for comparison, what reading the meadow in full costs.
// Each figure is the median of several runs. Usage: bench_extraction [pdf runs] [ocr runs]
#include "benchprocess.h"
#include "extraction/documents/pdfprocessor.h"
#include "extraction/media/imageprocessor.h"
#include "extraction/textrecognizer.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr int Dpi = 300;

QString pageText(int page)
{
    QString text;
    for (int line = 1; line <= 30; ++line) {
        text += QStringLiteral("Seite %1, Position %2: Telekom Deutschland GmbH, Rechnung Nr. %3 vom 15.03.2024, "
                               "Betrag %4,99 EUR zuzüglich Umsatzsteuer.\n")
                    .arg(page)
                    .arg(line)
                    .arg(4700 + page * 100 + line)
                    .arg(10 + line);
    }
    return text;
}

QFont font(int pointSize)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSize(pointSize);
    return f;
}

void writeTextPdf(const QString &path, int pages)
{
    QPdfWriter writer(path);
    writer.setResolution(Dpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    painter.setFont(font(9));
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            writer.newPage();
        painter.drawText(QRect(0, 0, writer.width(), writer.height()), Qt::TextWordWrap, pageText(page));
    }
}

QImage scannedPage(int page)
{
    QImage image(2480, 3508, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(Dpi / 0.0254));
    image.setDotsPerMeterY(qRound(Dpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font(10));
    painter.setPen(Qt::black);
    painter.drawText(QRect(200, 250, 2080, 3000), Qt::TextWordWrap, pageText(page));
    return image;
}

// A wallpaper: a diagonal gradient; `photo` adds what a photo of a meadow shows the recogniser:
// soft blobs of colour, thousands of short strokes of grass and leaves, and sensor noise.
QImage wallpaper(bool photo)
{
    QImage image(4096, 4096, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 4096, 4096);
    gradient.setColorAt(0, QColor(20, 40, 110));
    gradient.setColorAt(0.6, QColor(150, 90, 160));
    gradient.setColorAt(1, QColor(250, 180, 120));
    painter.fillRect(image.rect(), gradient);
    if (!photo)
        return image;
    QRandomGenerator random(7);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 40; ++i) {
        QRadialGradient blob(random.bounded(4096), random.bounded(4096), random.bounded(200, 900));
        blob.setColorAt(0, QColor(random.bounded(256), random.bounded(256), random.bounded(256), 140));
        blob.setColorAt(1, QColor(0, 0, 0, 0));
        painter.setBrush(blob);
        painter.drawRect(image.rect());
    }
    for (int i = 0; i < 30000; ++i) {
        const int x = random.bounded(4096), y = 1200 + random.bounded(2896);
        painter.setPen(QPen(QColor(random.bounded(20, 90), random.bounded(80, 200), random.bounded(10, 60)),
                            random.bounded(2, 6)));
        painter.drawLine(x, y, x + random.bounded(-20, 21), y - random.bounded(15, 70));
    }
    painter.end();
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(25)) - 12;
            const QRgb px = line[x];
            line[x] = qRgb(std::clamp(qRed(px) + noise, 0, 255), std::clamp(qGreen(px) + noise, 0, 255),
                           std::clamp(qBlue(px) + noise, 0, 255));
        }
    }
    return image;
}

double medianMilliseconds(int runs, const std::function<void()> &work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times << double(timer.nsecsElapsed()) / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

qsizetype runTool(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        std::exit(2);
    }
    return process.readAllStandardOutput().size();
}

volatile qsizetype g_sink = 0; // keeps the work from being optimised away

} // namespace

int main(int argc, char *argv[])
{
    prepareBenchProcess(argv);
    QGuiApplication app(argc, argv);
    const int pdfRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const int ocrRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("zehn-seiten.pdf"));
    writeTextPdf(pdf, 10);
    const QImage firstPage = scannedPage(1);
    const QImage secondPage = scannedPage(2);
    const QString png = dir.filePath(QStringLiteral("seite2.png"));
    secondPage.save(png);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));

    const PDFProcessor processor;
    g_sink = g_sink + processor.extract(pdf)->extractedText.size(); // warm the file cache and Poppler
    const double ours =
        medianMilliseconds(pdfRuns, [&] { g_sink = g_sink + processor.extract(pdf)->extractedText.size(); });
    const double pdftotext = medianMilliseconds(pdfRuns, [&] {
        g_sink = g_sink + runTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}, environment);
    });

    if (!TextRecognizer::isAvailable()) {
        std::fprintf(stderr, "text recognition unavailable\n");
        return 2;
    }
    g_sink = g_sink + TextRecognizer::recognize(firstPage).size(); // loads the engine
    const double recognize =
        medianMilliseconds(ocrRuns, [&] { g_sink = g_sink + TextRecognizer::recognize(secondPage).size(); });
    const double tesseract = medianMilliseconds(ocrRuns, [&] {
        g_sink =
            g_sink + runTool(QStringLiteral("tesseract"),
                             {png, QStringLiteral("-"), QStringLiteral("-l"), QStringLiteral("deu+eng")}, environment);
    });

    const QString gradientPath = dir.filePath(QStringLiteral("verlauf.jpg"));
    const QString photoPath = dir.filePath(QStringLiteral("wiese.jpg"));
    wallpaper(false).save(gradientPath, nullptr, 92);
    const QImage meadow = wallpaper(true);
    meadow.save(photoPath, nullptr, 92);
    const ImageProcessor images;
    const auto extractPicture = [&](const QString &path) {
        return medianMilliseconds(ocrRuns, [&] { g_sink = g_sink + images.extract(path)->extractedText.size(); });
    };
    const double gradientWallpaper = extractPicture(gradientPath);
    const double photoWallpaper = extractPicture(photoPath);
    const double meadowInFull =
        medianMilliseconds(1, [&] { g_sink = g_sink + TextRecognizer::recognize(meadow).size(); });
    const double textlessRatio = std::max(gradientWallpaper, photoWallpaper) / recognize;

    const double pdfRatio = ours / pdftotext;
    const double ocrRatio = recognize / tesseract;
    std::printf("PDF text, 10 pages:  PDFProcessor %8.1f ms   pdftotext CLI %8.1f ms   ratio %.2fx (target <= 1.5x)\n",
                ours, pdftotext, pdfRatio);
    std::printf("recognition, A4:     recognize    %8.1f ms   tesseract CLI %8.1f ms   ratio %.2fx (target <= 1.0x)\n",
                recognize, tesseract, ocrRatio);
    std::printf("no text, 4096x4096:  gradient     %8.1f ms   meadow        %8.1f ms   ratio to A4 %.2fx (target <= "
                "0.25x); meadow read in full %.1f ms\n",
                gradientWallpaper, photoWallpaper, textlessRatio, meadowInFull);
    return pdfRatio <= 1.5 && ocrRatio <= 1.0 && textlessRatio <= 0.25 ? 0 : 1;
}
