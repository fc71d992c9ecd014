#pragma once

#include <QList>
#include <QSize>
#include <QString>

class QImage;

/**
 * Text recognition (OCR) with Tesseract, languages German and English, and those the system
 * locale asks for (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) when their models are installed.
 *
 * Each thread keeps one engine, created on its first use and reused for every later image:
 * loading the models costs more than recognising a small page. It is freed when the thread ends
 * (extraction workers end after a while without work) or by `releaseEngine`. Call only from an
 * extraction helper or the extraction workers (see ContentExtraction::workers), never from the
 * GUI thread. The process should run with OMP_THREAD_LIMIT=1 (see ensureSingleThreadedOpenMP):
 * Tesseract's OpenMP threads make recognition several times slower on small machines.
 *
 * Screen-sized pictures (at most 2,560 pixels long) that state a screen's resolution
 * (QImage::dotsPerMeterX, at most 160 dpi, or none) are read at it; everything else (scans,
 * rendered pages, photos) as a 300 dpi scan.
 */
namespace TextRecognizer {

/** Pictures are recognised at most this large along their longer edge; larger ones are scaled down. */
inline constexpr int MaxLongEdge = 3000;

/** One word as the engine read it. */
struct Word {
    QString text;
    float confidence = 0;      ///< 0–100
    bool inDictionary = false; ///< found in the engine's word list
    qsizetype line = 0;        ///< the index of its line in `Reading::text`
};

/** What the engine read, before it is judged. */
struct Reading {
    QString text; ///< recognised lines, joined with line feeds
    QList<Word> words;
    QSize size;        ///< the pixel size the engine saw
    bool page = false; ///< read as a scanned page, not as a screen-sized picture (see `read`)
};

/**
 * The raw reading of `image` (scaled to `MaxLongEdge`); empty when recognition fails. A picture
 * larger than a screen or stating more than a screen's resolution is read as a scanned page.
 */
[[nodiscard]] Reading read(const QImage &image);

/**
 * Whether words are text rather than patterns the engine took for letters: a mean confidence of
 * at least 60 and at least 30 % telling words, or at least 12 confidently read words (85 or more,
 * two letters or digits) at a mean of at least 45. A word tells when it has two or more letters or
 * digits and is read confidently (85 or more), is a dictionary word of three or more letters, or
 * a number of two or more digits. Single characters and lone digits never tell. Marks without a
 * letter or digit read below 50 ("|}", "+": arrows and box edges) are left out of the count.
 */
[[nodiscard]] bool isCredible(const QList<Word> &words);

/**
 * The reading's text when its words are credible: a page's whole, a picture's less what is no
 * text in it: words read below 60
 * at a line's ends (icons beside a menu's words), words of more marks than letters read below 60,
 * and lines without a word of two letters or digits read at 60 or more (rows of dots, bullets,
 * rules). Otherwise only its lines read wholly at 85 or more that hold a dictionary word of five or
 * more letters read at 90 or more (a chart's title amid what its bars and dots read as); empty
 * when there is none.
 */
[[nodiscard]] QString credibleText(const Reading &reading);

/**
 * The recognised text lines of `image`, in reading order, joined with line feeds; lines that
 * recognise as blank are left out. Empty when the image is null or recognition fails; judged
 * by `credibleText`. When that leaves nothing of a reading of several words, `missingScript`
 * (if given) receives the script script detection finds in the picture when no loaded language
 * is written in it ("Cyrillic"), else stays as it is.
 */
[[nodiscard]] QString recognize(const QImage &image, QString *missingScript = nullptr);

/** A scene is first read at most this large along its longer edge (see `recognizeScene`). */
inline constexpr int SceneProbeLongEdge = 1000;

/**
 * `recognize` for a picture that shows a scene (see ImageClassifier::isScene), whose text is
 * large if it has any: a copy at most `SceneProbeLongEdge` pixels long is read first, and the
 * picture itself only when that copy shows a word of two or more letters or digits. A text-less
 * photo or wallpaper costs the small reading only, a fraction of a full one. When the full
 * reading is not credible, the small one is taken if it is: letters a few hundred pixels tall
 * are read better small.
 */
[[nodiscard]] QString recognizeScene(const QImage &image, QString *missingScript = nullptr);

/** Whether the engine and its language models can be loaded on this machine. */
[[nodiscard]] bool isAvailable();

/** Frees this thread's engine; the next recognition on the thread loads it again. */
void releaseEngine();

/**
 * Frees the dictionaries Tesseract shares between engines and keeps after they end. Call only
 * when no thread holds an engine.
 */
void releaseSharedCaches();

} // namespace TextRecognizer
