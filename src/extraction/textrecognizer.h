#pragma once

#include <QString>

class QImage;

/**
 * Text recognition (OCR) with Tesseract, languages German then English.
 *
 * Each thread keeps one engine, created on its first use and reused for every later image:
 * loading the models costs more than recognising a small page. Call only from extraction
 * workers (see ExtractionPool), never from the GUI thread. The process should run with
 * OMP_THREAD_LIMIT=1 (see ensureSingleThreadedOpenMP): Tesseract's OpenMP threads make
 * recognition several times slower on small machines.
 */
namespace TextRecognizer {

/**
 * The recognised text lines of `image`, in reading order, joined with line feeds; lines that
 * recognise as blank are left out. Empty when the image is null or recognition fails.
 */
[[nodiscard]] QString recognize(const QImage &image);

/** Whether the engine and its language models can be loaded on this machine. */
[[nodiscard]] bool isAvailable();

} // namespace TextRecognizer
