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

struct Engine {
    std::unique_ptr<tesseract::TessBaseAPI> api;
    bool ready = false;
};

Engine &threadEngine()
{
    thread_local Engine engine = [] {
        Engine e;
        e.api = std::make_unique<tesseract::TessBaseAPI>();
        e.ready = e.api->Init(nullptr, "deu+eng", tesseract::OEM_LSTM_ONLY) == 0;
        if (e.ready)
            e.api->SetPageSegMode(tesseract::PSM_AUTO);
        return e;
    }();
    return engine;
}

} // namespace

bool isAvailable()
{
    return threadEngine().ready;
}

QString recognize(const QImage &image)
{
    if (image.isNull())
        return {};
    Engine &engine = threadEngine();
    if (!engine.ready)
        return {};

    // Transparent areas become white rather than black before the grey conversion.
    QImage grey = image;
    if (grey.hasAlphaChannel()) {
        QImage flat(grey.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, grey);
        grey = flat;
    }
    grey = grey.convertToFormat(QImage::Format_Grayscale8);

    tesseract::TessBaseAPI &api = *engine.api;
    api.SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    api.SetSourceResolution(AssumedResolution);
    QStringList lines;
    if (api.Recognize(nullptr) == 0) {
        std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
        if (it) {
            do {
                std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_TEXTLINE));
                if (!text)
                    continue;
                const QString line = QString::fromUtf8(text.get()).trimmed();
                if (!line.isEmpty())
                    lines << line;
            } while (it->Next(tesseract::RIL_TEXTLINE));
        }
    }
    api.Clear(); // frees the page, keeps the models
    return lines.join(u'\n');
}

} // namespace TextRecognizer
