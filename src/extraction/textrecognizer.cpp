#include "textrecognizer.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QStringList>

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <memory>
#include <mutex>

using namespace Qt::Literals::StringLiterals;

namespace TextRecognizer {
namespace {

// Images are handed to the engine as 8-bit grey with a resolution (statedResolution). The engine
// judges which specks are noise by it: a screenshot's 9-pixel letters taken for 300 dpi are
// 2 pt and read badly or not at all.
constexpr int MinResolution = 70, ScreenResolution = 160, ScanResolution = 300;
constexpr int ScreenLongEdge = 2560;
// The languages always loaded; those the system locale asks for are added when installed.
constexpr char BaseLanguages[] = "deu+eng";

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
// In a text, a word read below this is no longer trusted at a line's ends (icons beside a menu's
// words, a photo's edges before its caption), nor anywhere when it is mostly marks; a line needs
// one word of two letters or digits read at least this surely.
constexpr float SureWord = 60.0F;
// A reading of this many words with nothing credible in it may be a script no loaded language
// covers; script detection then names it.
constexpr qsizetype MinWordsForScript = 8;
// Script detection misnames small Latin print as Cyrillic now and then, but not at two sizes.
constexpr float MinScriptConfidence = 2.0F;

struct Engine {
    std::unique_ptr<tesseract::TessBaseAPI> api;
    std::unique_ptr<tesseract::TessBaseAPI> scripts; // script detection, loaded when first needed
    bool ready = false;
    bool scriptsReady = false;
};

// Tesseract's code for each language the locale names (ISO 639-2/T: "fra", "rus").
QStringList localeLanguageCodes()
{
    QStringList codes;
    for (const QString &tag : QLocale::system().uiLanguages()) {
        const QLocale::Language language = QLocale(tag).language();
        if (language == QLocale::C || language == QLocale::AnyLanguage)
            continue;
        const QString code = QLocale::languageToCode(language, QLocale::ISO639Part2T);
        if (!code.isEmpty() && !codes.contains(code))
            codes << code;
    }
    return codes;
}

// The script each language with its own writing system is read in; all others are Latin.
const QHash<QString, QString> &languageScripts()
{
    static const QHash<QString, QString> scripts{
        {u"rus"_s, u"Cyrillic"_s},   {u"ukr"_s, u"Cyrillic"_s},   {u"bel"_s, u"Cyrillic"_s},
        {u"bul"_s, u"Cyrillic"_s},   {u"mkd"_s, u"Cyrillic"_s},   {u"srp"_s, u"Cyrillic"_s},
        {u"ell"_s, u"Greek"_s},      {u"ara"_s, u"Arabic"_s},     {u"fas"_s, u"Arabic"_s},
        {u"urd"_s, u"Arabic"_s},     {u"heb"_s, u"Hebrew"_s},     {u"yid"_s, u"Hebrew"_s},
        {u"hin"_s, u"Devanagari"_s}, {u"mar"_s, u"Devanagari"_s}, {u"nep"_s, u"Devanagari"_s},
        {u"tha"_s, u"Thai"_s},       {u"kor"_s, u"Hangul"_s},     {u"jpn"_s, u"Japanese"_s},
        {u"chi_sim"_s, u"Han"_s},    {u"chi_tra"_s, u"Han"_s},
    };
    return scripts;
}

struct Languages {
    QByteArray names = BaseLanguages;
    QStringList scripts{u"Latin"_s};
};

Languages g_languages;

// The first engine finds out which of the locale's languages are installed, and loads them
// with the base ones; later engines load what it chose.
bool initialise(tesseract::TessBaseAPI &api)
{
    static std::once_flag once;
    bool initialisedHere = false, ready = false;
    std::call_once(once, [&] {
        initialisedHere = true;
        ready = api.Init(nullptr, BaseLanguages, tesseract::OEM_LSTM_ONLY) == 0;
        if (!ready)
            return;
        const QString dataPath = QFile::decodeName(api.GetDatapath());
        QStringList extra;
        for (const QString &code : localeLanguageCodes()) {
            if (!QString::fromLatin1(BaseLanguages).split(u'+').contains(code) &&
                QFile::exists(dataPath + u'/' + code + u".traineddata"_s))
                extra << code;
        }
        if (extra.isEmpty())
            return;
        Languages chosen;
        chosen.names += '+' + extra.join(u'+').toLatin1();
        for (const QString &code : extra)
            if (const QString script = languageScripts().value(code, u"Latin"_s); !chosen.scripts.contains(script))
                chosen.scripts << script;
        api.End();
        ready = api.Init(nullptr, chosen.names.constData(), tesseract::OEM_LSTM_ONLY) == 0;
        if (ready)
            g_languages = chosen;
        else // the locale's model is damaged: the base languages still read
            ready = api.Init(nullptr, BaseLanguages, tesseract::OEM_LSTM_ONLY) == 0;
    });
    if (!initialisedHere)
        ready = api.Init(nullptr, g_languages.names.constData(), tesseract::OEM_LSTM_ONLY) == 0;
    return ready;
}

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
        slot->ready = initialise(*slot->api);
        if (slot->ready)
            slot->api->SetPageSegMode(tesseract::PSM_AUTO);
    }
    return *slot;
}

int statedDpi(const QImage &image)
{
    return int(std::lround(image.dotsPerMeterX() * 0.0254));
}

// A screen-sized picture stating a screen's resolution (72, 96, a high-density screen's 144; Qt
// reports 96 for a picture that states none) is a screenshot, a diagram or a web picture.
// Anything else is read as a scanned page: scans state 200 dpi or more, rendered pages are large,
// and a phone's photo of a page states 72 for 4,000 pixels.
bool isScreenPicture(const QImage &image)
{
    return statedDpi(image) <= ScreenResolution && std::max(image.width(), image.height()) <= ScreenLongEdge;
}

// The resolution the engine is told: a screenshot's own, else a scan's 300 dpi. The engine's page
// layout wants that figure whatever a scan states: a 200 dpi letter told 200 lost its right-hand
// column ("Datum 04.06.24").
int statedResolution(const QImage &image)
{
    return isScreenPicture(image) ? std::max(statedDpi(image) > 0 ? statedDpi(image) : 96, MinResolution)
                                  : ScanResolution;
}

// Grey, transparent areas white rather than black, and no longer than MaxLongEdge.
QImage prepared(const QImage &image, int &resolution)
{
    QImage grey = image;
    resolution = statedResolution(image);
    const int longEdge = std::max(grey.width(), grey.height());
    if (longEdge > MaxLongEdge) {
        grey = grey.scaled(grey.size().scaled(MaxLongEdge, MaxLongEdge, Qt::KeepAspectRatio), Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
        resolution = std::max(MinResolution, resolution * MaxLongEdge / longEdge);
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

// More marks than letters and digits: "«=", "©]", "|".
bool isMostlyMarks(const QString &word)
{
    return 2 * count(word, &QChar::isLetterOrNumber) < word.size();
}

// The script of the text in `image` enlarged `factor` times (at most to MaxLongEdge), when
// script detection names one with some confidence, else empty. The detector needs letters about
// 20 pixels tall; a screenshot's are half that.
QString detectScript(Engine &engine, const QImage &image, int factor)
{
    if (!engine.scripts) { // once per engine: without its data ("osd") there is no detection
        engine.scripts = std::make_unique<tesseract::TessBaseAPI>();
        engine.scriptsReady = engine.scripts->Init(nullptr, "osd", tesseract::OEM_TESSERACT_ONLY) == 0;
        if (engine.scriptsReady)
            engine.scripts->SetPageSegMode(tesseract::PSM_OSD_ONLY);
    }
    if (!engine.scriptsReady)
        return {};
    tesseract::TessBaseAPI &api = *engine.scripts;
    const int longEdge = std::max(image.width(), image.height());
    const int target = std::min(longEdge * factor, MaxLongEdge);
    const QImage large =
        target > longEdge ? image.scaled(target, target, Qt::KeepAspectRatio, Qt::SmoothTransformation) : image;
    int resolution = 0;
    const QImage grey = prepared(large, resolution);
    api.SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    api.SetSourceResolution(resolution);
    int orientation = 0;
    float orientationConfidence = 0, scriptConfidence = 0;
    const char *script = nullptr;
    const bool found = api.DetectOrientationScript(&orientation, &orientationConfidence, &script, &scriptConfidence);
    api.Clear();
    if (!found || !script || scriptConfidence < MinScriptConfidence)
        return {};
    return QString::fromLatin1(script);
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

    int resolution = 0;
    const QImage grey = prepared(image, resolution);
    tesseract::TessBaseAPI &api = *engine.api;
    api.SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    api.SetSourceResolution(resolution);
    Reading reading;
    reading.size = grey.size();
    reading.page = !isScreenPicture(image);
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

QString cleanText(const Reading &reading)
{
    QList<QList<const Word *>> lines;
    for (const Word &word : reading.words) {
        if (word.line < 0)
            continue;
        if (word.line >= lines.size())
            lines.resize(word.line + 1);
        // Marks read unsurely anywhere: an icon's or a rule's outline.
        if (!(word.confidence < SureWord && isMostlyMarks(word.text)))
            lines[word.line].append(&word);
    }
    QStringList kept;
    for (QList<const Word *> &line : lines) {
        while (!line.isEmpty() && line.first()->confidence < SureWord)
            line.removeFirst();
        while (!line.isEmpty() && line.last()->confidence < SureWord)
            line.removeLast();
        // Lines of dots, bullets and rules, and lines of nothing read surely, say nothing.
        if (std::none_of(line.cbegin(), line.cend(), [](const Word *word) {
                return word->confidence >= SureWord && hasTwoLettersOrDigits(word->text);
            }))
            continue;
        QStringList words;
        for (const Word *word : line)
            words << word->text;
        kept << words.join(u' ');
    }
    return kept.join(u'\n');
}

QString credibleText(const Reading &reading)
{
    // A page's words are read whole; its unsure ones ("Juli" at 10, "Leipzig" at 54) are real.
    if (isCredible(reading.words))
        return reading.page ? reading.text : cleanText(reading);
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

QString unreadScript(const QImage &image, const Reading &reading)
{
    const auto wordLike = std::count_if(reading.words.cbegin(), reading.words.cend(),
                                        [](const Word &word) { return hasTwoLettersOrDigits(word.text); });
    if (wordLike < MinWordsForScript)
        return {};
    Engine &engine = threadEngine();
    if (!engine.ready)
        return {};
    const QString script = detectScript(engine, image, 2);
    if (script.isEmpty() || g_languages.scripts.contains(script) || detectScript(engine, image, 3) != script)
        return {};
    return script;
}

QString recognize(const QImage &image, QString *missingScript)
{
    const Reading reading = read(image);
    QString text = credibleText(reading);
    if (missingScript && text.isEmpty())
        *missingScript = unreadScript(image, reading);
    return text;
}

QString recognizeScene(const QImage &image, QString *missingScript)
{
    if (std::max(image.width(), image.height()) <= SceneProbeLongEdge)
        return recognize(image, missingScript);
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
        return cleanText(full);
    if (isCredible(glance.words))
        return cleanText(glance);
    QString text = credibleText(full);
    if (missingScript && text.isEmpty())
        *missingScript = unreadScript(image, full);
    return text;
}

} // namespace TextRecognizer
