// The generated documents the extraction benchmarks read: invoices as text and scanned PDFs, scans
// and camera-sized photos; and the process's resident memory.
#pragma once

#include <QFile>
#include <QFont>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QSize>
#include <QString>

/** The process's resident set in MiB, from /proc/self/status. */
inline double rssMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

inline QString invoiceText(int n)
{
    return QStringLiteral("Rechnung Nr. %1 vom 15.03.2024\nTelekom Deutschland GmbH, Landgrabenweg 151, 53227 Bonn\n"
                          "Betrag %2,99 EUR zuzüglich Umsatzsteuer. Zahlbar bis 30.03.2024.\n")
        .arg(4700 + n)
        .arg(10 + n);
}

/** How large the generated documents are; the defaults are the memory benchmark's. */
struct CorpusSizes {
    int scanTextHeight = 3000;
    int scanRepeats = 8;
    QSize photo{4000, 3000};
    int textPages = 12;
};

inline QImage scan(int n, const CorpusSizes &sizes = {})
{
    QImage image(2480, 3508, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(42);
    painter.setFont(font);
    painter.drawText(QRect(200, 250, 2080, sizes.scanTextHeight), Qt::TextWordWrap,
                     invoiceText(n).repeated(sizes.scanRepeats));
    return image;
}

inline QImage photo(int n, const CorpusSizes &sizes = {})
{
    QImage image(sizes.photo, QImage::Format_RGB32);
    QRandomGenerator random{quint32(n)};
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(40));
            line[x] = qRgb(60 + noise + x / 40, 110 + noise, 50 + noise + y / 30);
        }
    }
    return image;
}

inline void writePdf(const QString &path, int n, bool scanned, const CorpusSizes &sizes = {})
{
    QPdfWriter writer(path);
    writer.setResolution(300);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    for (int page = 0; page < (scanned ? 1 : sizes.textPages); ++page) {
        if (page > 0)
            writer.newPage();
        if (scanned)
            painter.drawImage(QRect(0, 0, writer.width(), writer.height()), scan(n, sizes));
        else
            painter.drawText(QRect(0, 0, writer.width(), writer.height()), Qt::TextWordWrap,
                             invoiceText(n + page).repeated(20));
    }
}
