#include "textrecognizer.h"

#include <QImage>
#include <QPainter>
#include <QStringList>

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <memory>

namespace TextRecognizer {
namespace {

// Images are handed to the engine as 8-bit grey; 300 dpi is what the models are trained on,
// and callers render pages at that resolution.
constexpr int AssumedResolution = 300;

// Measured on scans, screenshots and photos (docs/decisions.md, "Extraction"): junk from
// pictures of circuit boards scored 29–56 mean confidence (one lone "N" at 70, whose word share
// is 0), screenshots 66–93 with 41–69 % words, scans 96 with 91 %.
constexpr double MinMeanConfidence = 60.0;
constexpr double MinWordShare = 0.3;

struct Engine {
    std::unique_ptr<tesseract::TessBaseAPI> api;
    bool ready = false;
};

std::unique_ptr<Engine> &threadEngineSlot()
{
    thread_local std::unique_ptr<Engine> engine;
    return engine;
}

Engine &threadEngine()
{
    std::unique_ptr<Engine> &slot = threadEngineSlot();
    if (!slot) {
        slot = std::make_unique<Engine>();
        slot->api = std::make_unique<tesseract::TessBaseAPI>();
        slot->ready = slot->api->Init(nullptr, "deu+eng", tesseract::OEM_LSTM_ONLY) == 0;
        if (slot->ready)
            slot->api->SetPageSegMode(tesseract::PSM_AUTO);
    }
    return *slot;
}

// Grey, transparent areas white rather than black, and no longer than MaxLongEdge.
QImage prepared(const QImage &image, int &resolution)
{
    QImage grey = image;
    resolution = AssumedResolution;
    const int longEdge = std::max(grey.width(), grey.height());
    if (longEdge > MaxLongEdge) {
        grey = grey.scaled(grey.size().scaled(MaxLongEdge, MaxLongEdge, Qt::KeepAspectRatio), Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
        resolution = std::max(70, AssumedResolution * MaxLongEdge / longEdge);
    }
    if (grey.hasAlphaChannel()) {
        QImage flat(grey.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, grey);
        grey = flat;
    }
    return grey.convertToFormat(QImage::Format_Grayscale8);
}

// Numbers, amounts and dates count as words: invoices are full of them. Dictionary words need
// three letters, as the engine's dictionary holds nearly every pair of letters.
bool isNumber(const QString &word)
{
    bool digit = false;
    for (QChar c : word) {
        if (c.isDigit())
            digit = true;
        else if (!c.isPunct() && !c.isSymbol())
            return false;
    }
    return digit;
}

qsizetype letterCount(const QString &word)
{
    return std::count_if(word.cbegin(), word.cend(), [](QChar c) { return c.isLetter(); });
}

} // namespace

bool isAvailable()
{
    return threadEngine().ready;
}

void releaseEngine()
{
    threadEngineSlot().reset();
}

void releaseSharedCaches()
{
    tesseract::TessBaseAPI::ClearPersistentCache();
}

Reading read(const QImage &image)
{
    if (image.isNull())
        return {};
    Engine &engine = threadEngine();
    if (!engine.ready)
        return {};

    int resolution = AssumedResolution;
    const QImage grey = prepared(image, resolution);
    tesseract::TessBaseAPI &api = *engine.api;
    api.SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    api.SetSourceResolution(resolution);
    Reading reading;
    reading.size = grey.size();
    QStringList lines;
    QStringList line;
    double confidenceSum = 0;
    qsizetype good = 0;
    if (api.Recognize(nullptr) == 0) {
        std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
        if (it && !it->Empty(tesseract::RIL_WORD)) {
            do {
                const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
                const QString word = text ? QString::fromUtf8(text.get()).trimmed() : QString();
                if (!word.isEmpty()) {
                    line << word;
                    ++reading.words;
                    confidenceSum += it->Confidence(tesseract::RIL_WORD);
                    if (isNumber(word) || (it->WordIsFromDictionary() && letterCount(word) >= 3))
                        ++good;
                }
                if (it->IsAtFinalElement(tesseract::RIL_TEXTLINE, tesseract::RIL_WORD) && !line.isEmpty()) {
                    lines << line.join(u' ');
                    line.clear();
                }
            } while (it->Next(tesseract::RIL_WORD));
        }
    }
    if (!line.isEmpty())
        lines << line.join(u' ');
    api.Clear(); // frees the page, keeps the models
    reading.text = lines.join(u'\n');
    if (reading.words > 0) {
        reading.meanConfidence = confidenceSum / double(reading.words);
        reading.wordShare = double(good) / double(reading.words);
    }
    return reading;
}

bool isCredible(const Reading &reading)
{
    return reading.meanConfidence >= MinMeanConfidence && reading.wordShare >= MinWordShare;
}

QString recognize(const QImage &image)
{
    const Reading reading = read(image);
    return isCredible(reading) ? reading.text : QString();
}

} // namespace TextRecognizer
