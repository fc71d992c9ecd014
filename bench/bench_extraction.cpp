// Document extraction against the command-line tools that do the same job, in one run on the
// same generated inputs:
//  - PDF text layer: PDFProcessor::extract on a 10-page text PDF vs `pdftotext file.pdf -`
//    (target: within 1.5x);
//  - text recognition: TextRecognizer::recognize on a 300-dpi A4 page with the engine already
//    loaded by an earlier page vs `tesseract page.png - -l deu+eng` with OMP_THREAD_LIMIT=1
//    (target: not slower).
// Each figure is the median of several runs. Usage: bench_extraction [pdf runs] [ocr runs]
#include "common/processenvironment.h"
#include "extraction/documents/pdfprocessor.h"
#include "extraction/textrecognizer.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
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
    ensureSingleThreadedOpenMP(argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
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

    const double pdfRatio = ours / pdftotext;
    const double ocrRatio = recognize / tesseract;
    std::printf("PDF text, 10 pages:  PDFProcessor %8.1f ms   pdftotext CLI %8.1f ms   ratio %.2fx (target <= 1.5x)\n",
                ours, pdftotext, pdfRatio);
    std::printf("recognition, A4:     recognize    %8.1f ms   tesseract CLI %8.1f ms   ratio %.2fx (target <= 1.0x)\n",
                recognize, tesseract, ocrRatio);
    return pdfRatio <= 1.5 && ocrRatio <= 1.0 ? 0 : 1;
}
