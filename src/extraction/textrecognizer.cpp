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

// Measured on scans, screenshots, diagrams and photos (docs/decisions.md, "Extraction"): junk
// from pictures of circuit boards scored 29–56 mean confidence, screenshots 66–93, scans 96.
constexpr double MinMeanConfidence = 60.0;
constexpr double MinTellingShare = 0.3;
// A diagram's boxes and arrows give many unsure fragments around its names (mean confidence
// 51–56 on the diagrams of Debian's manuals); this many confidently read names are text unless the
// rest drags the mean down to where junk from photos lies.
constexpr qsizetype MinConfidentNames = 12;
constexpr double MinMeanAmongNames = 45.0;
// Names, paths and identifiers ("kernel_t", "/sbin/init") are in no dictionary; read this
// confidently they are text all the same.
constexpr float ConfidentWord = 85.0F;
// A line of a reading that is no text as a whole still is when read this surely and holding such
// a word: across 133 pictures of Debian's documentation only a chart's "benchmark" was.
constexpr float NamingWord = 90.0F;
constexpr qsizetype NamingLetters = 5;
// Below this, a mark without letters or digits is an edge the engine tried to read.
constexpr float UnsureMark = 50.0F;
// A word in the small copy of a scene that may be text; the full reading judges it.
constexpr float ProbeWord = 50.0F;

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

qsizetype count(const QString &word, bool (QChar::*is)() const)
{
    return std::count_if(word.cbegin(), word.cend(), [is](QChar c) { return (c.*is)(); });
}

bool hasTwoLettersOrDigits(const QString &word)
{
    return count(word, &QChar::isLetterOrNumber) >= 2;
}

// Numbers, amounts and dates count: invoices are full of them. Dictionary words need three
// letters, as the engine's dictionary holds nearly every pair of letters. A lone character or
// digit is what scribbles and edges read as.
bool tells(const Word &word)
{
    const qsizetype letters = count(word.text, &QChar::isLetter);
    const qsizetype digits = count(word.text, &QChar::isDigit);
    if (letters + digits < 2)
        return false;
    const bool number = letters == 0 && std::all_of(word.text.cbegin(), word.text.cend(),
                                                    [](QChar c) { return c.isDigit() || c.isPunct() || c.isSymbol(); });
    return word.confidence >= ConfidentWord || number || (word.inDictionary && letters >= 3);
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
    if (api.Recognize(nullptr) == 0) {
        std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
        if (it && !it->Empty(tesseract::RIL_WORD)) {
            do {
                const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
                const QString word = text ? QString::fromUtf8(text.get()).trimmed() : QString();
                if (!word.isEmpty()) {
                    line << word;
                    reading.words.append(
                        {word, it->Confidence(tesseract::RIL_WORD), it->WordIsFromDictionary(), lines.size()});
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
    return reading;
}

bool isCredible(const QList<Word> &words)
{
    double confidenceSum = 0;
    qsizetype marks = 0, telling = 0, confidentNames = 0;
    for (const Word &word : words) {
        // Arrows, rules and box edges read as "|}" or "+" at the lowest confidence; they say nothing
        // about the words beside them. Code's braces and semicolons read surely, and count.
        if (word.confidence < UnsureMark && count(word.text, &QChar::isLetterOrNumber) == 0) {
            ++marks;
            continue;
        }
        confidenceSum += word.confidence;
        telling += tells(word) ? 1 : 0;
        confidentNames += word.confidence >= ConfidentWord && hasTwoLettersOrDigits(word.text) ? 1 : 0;
    }
    if (marks == words.size())
        return false;
    const auto total = double(words.size() - marks);
    const double mean = confidenceSum / total;
    return (mean >= MinMeanConfidence && double(telling) / total >= MinTellingShare) ||
           (mean >= MinMeanAmongNames && confidentNames >= MinConfidentNames);
}

QString credibleText(const Reading &reading)
{
    if (isCredible(reading.words))
        return reading.text;
    const QStringList lines = reading.text.split(u'\n');
    QList<bool> sure(lines.size(), true), named(lines.size(), false);
    for (const Word &word : reading.words) {
        if (word.line < 0 || word.line >= lines.size())
            continue;
        sure[word.line] = sure[word.line] && word.confidence >= ConfidentWord;
        named[word.line] = named[word.line] || (word.inDictionary && word.confidence >= NamingWord &&
                                                count(word.text, &QChar::isLetter) >= NamingLetters);
    }
    QStringList kept;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (sure[i] && named[i])
            kept << lines[i];
    return kept.join(u'\n');
}

QString recognize(const QImage &image)
{
    return credibleText(read(image));
}

QString recognizeScene(const QImage &image)
{
    if (std::max(image.width(), image.height()) <= SceneProbeLongEdge)
        return recognize(image);
    const Reading glance =
        read(image.scaled(SceneProbeLongEdge, SceneProbeLongEdge, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    const bool wordLike = std::any_of(glance.words.cbegin(), glance.words.cend(), [](const Word &word) {
        return word.confidence >= ProbeWord && hasTwoLettersOrDigits(word.text);
    });
    if (!wordLike)
        return {};
    // Letters a few hundred pixels tall are beyond the engine's reach; the small copy reads them.
    const Reading full = read(image);
    if (isCredible(full.words))
        return full.text;
    return isCredible(glance.words) ? glance.text : credibleText(full);
}

} // namespace TextRecognizer
