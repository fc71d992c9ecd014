#pragma once

// Helpers shared by the extraction tests: files in a temporary folder, random bytes, the German
// invoice line rendered as a page at 300 dpi, and how far recognised text is from it.

#include "editdistance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QString>

#include <algorithm>

namespace ExtractionTestKit {

inline const QString Invoice =
    QStringLiteral("Rechnung Nr. 4711 vom 15.03.2024, Telekom Deutschland GmbH, Betrag 49,99 EUR");

// Writes `bytes` to `path`, making its folder; the path, or an empty string when that fails.
inline QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

inline QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// An A4-wide page at 300 dpi, `height` pixels tall, with the invoice line in 12 pt, wrapped; only pixels.
inline QImage invoicePage(int height = 3508)
{
    QImage image(2480, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(50);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(200, 250, 2000, 300), Qt::TextWordWrap, Invoice);
    return image;
}

// At least 95 % of the invoice line's characters right: few enough edits (Levenshtein) to turn the
// recognised text, whitespace simplified, into it.
inline bool invoiceRecognised(const QString &recognised)
{
    return editDistance(recognised.simplified(), Invoice) <= Invoice.size() / 20;
}

} // namespace ExtractionTestKit
