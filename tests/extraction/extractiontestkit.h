#pragma once

// Helpers shared by the extraction and grounding tests: files in a temporary folder (plain, ZIP, PDF),
// random bytes, the German invoice line rendered as a page at 300 dpi, and how far recognised text is from it.

#include "editdistance.h"

#include <QtGui>
#include <QtTest>

#include <algorithm>

#include <zip.h>

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

// The members' bytes must stay alive until zip_close reads them.
inline QString writeZip(const QString &path, const QList<QPair<const char *, QByteArray>> &members)
{
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    for (const auto &[name, bytes] : members)
        zip_file_add(archive, name, zip_source_buffer(archive, bytes.constData(), zip_uint64_t(bytes.size()), 0), 0);
    return archive && zip_close(archive) == 0 ? path : QString();
}

// A PDF page: side-by-side columns of text lines over an optional full-page picture.
struct PdfPage {
    QList<QStringList> columns;
    QImage picture = {};
};

// A4 pages at 300 dpi without margins, text in 11 pt, one line per 60 dots from (200, 160); the path.
inline QString writePdf(const QString &path, const QList<PdfPage> &pages)
{
    QPdfWriter writer(path);
    writer.setResolution(300);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
    for (qsizetype page = 0; page < pages.size(); ++page) {
        if (page > 0)
            writer.newPage();
        const auto &[columns, picture] = pages[page];
        if (!picture.isNull())
            painter.drawImage(QRect(0, 0, writer.width(), writer.height()), picture);
        for (qsizetype c = 0; c < columns.size(); ++c)
            for (qsizetype line = 0; line < columns[c].size(); ++line)
                painter.drawText(
                    QPoint(200 + int(c) * (writer.width() - 400) / int(columns.size()), 160 + int(line) * 60),
                    columns[c][line]);
    }
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
