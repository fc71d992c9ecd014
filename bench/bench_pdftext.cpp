// PDF text in reading order against `pdftotext` (its default reading-order mode) on generated
// PDFs of varied layouts: one column justified with hyphenation, two and three columns, a
// reference card in small print, running headers and footers, a title over two columns, and
// right-to-left pages (Hebrew, Arabic) with numbers and Latin names in their lines.
// For every file: similarity of PDFProcessor's excerpt to pdftotext's text of the same pages
// (1 − Levenshtein distance ÷ longer length, white space collapsed on both sides) and the
// excerpt's share of white-space padding (white space beyond one character per run). Targets: similarity ≥ 0.95 for 90
// % of the files; white space ≤ 5 % of the excerpt. Usage: bench_pdftext [extra.pdf …] — real PDFs to add to the set.
#include "common/processenvironment.h"
#include "common/unicodetext.h"
#include "editdistance.h"
#include "extraction/documents/pdfprocessor.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Dpi = 300;

const QStringList Vocabulary = {QStringLiteral("der"),
                                QStringLiteral("Vertrag"),
                                QStringLiteral("automatically"),
                                QStringLiteral("und"),
                                QStringLiteral("Rechnungsbetrag"),
                                QStringLiteral("the"),
                                QStringLiteral("configuration"),
                                QStringLiteral("wird"),
                                QStringLiteral("Kündigungsfrist"),
                                QStringLiteral("of"),
                                QStringLiteral("Versicherungsnehmer"),
                                QStringLiteral("ist"),
                                QStringLiteral("implementation"),
                                QStringLiteral("mit"),
                                QStringLiteral("Telekom"),
                                QStringLiteral("page"),
                                QStringLiteral("Lieferung"),
                                QStringLiteral("für"),
                                QStringLiteral("documentation"),
                                QStringLiteral("die"),
                                QStringLiteral("Zahlungserinnerung"),
                                QStringLiteral("an"),
                                QStringLiteral("Steuernummer"),
                                QStringLiteral("2024"),
                                QStringLiteral("Betrag"),
                                QStringLiteral("49,99"),
                                QStringLiteral("EUR"),
                                QStringLiteral("interoperability"),
                                QStringLiteral("Mietwohnung"),
                                QStringLiteral("Nebenkostenabrechnung"),
                                QStringLiteral("is"),
                                QStringLiteral("zum")};

// Right-to-left text with the numbers, amounts and names that stay left to right inside it.
const QStringList HebrewVocabulary = {
    QStringLiteral("חשבונית"), QStringLiteral("מספר"),  QStringLiteral("לקוח"),    QStringLiteral("תשלום"),
    QStringLiteral("של"),      QStringLiteral("הסכם"),  QStringLiteral("שכירות"),  QStringLiteral("דירה"),
    QStringLiteral("עבור"),    QStringLiteral("חברת"),  QStringLiteral("ביטוח"),   QStringLiteral("תאריך"),
    QStringLiteral("2024"),    QStringLiteral("49.99"), QStringLiteral("Telekom"), QStringLiteral("EUR"),
    QStringLiteral("על"),      QStringLiteral("סכום"),  QStringLiteral("הודעה"),   QStringLiteral("מכתב")};
// Prose without numbers or Latin names, where pdftotext's reordering has nothing to get wrong.
const QStringList HebrewWords = HebrewVocabulary.mid(0, 12);
const QStringList ArabicVocabulary = {
    QStringLiteral("فاتورة"), QStringLiteral("رقم"),   QStringLiteral("العميل"),  QStringLiteral("دفع"),
    QStringLiteral("عقد"),    QStringLiteral("إيجار"), QStringLiteral("شقة"),     QStringLiteral("من"),
    QStringLiteral("شركة"),   QStringLiteral("تأمين"), QStringLiteral("تاريخ"),   QStringLiteral("في"),
    QStringLiteral("2024"),   QStringLiteral("49.99"), QStringLiteral("Telekom"), QStringLiteral("EUR"),
    QStringLiteral("المبلغ"), QStringLiteral("رسالة"), QStringLiteral("إلى"),     QStringLiteral("لا")};

// Sentences from the vocabulary; long words carry soft hyphens so that justified lines break them.
QString paragraph(QRandomGenerator &random, int words, const QStringList &vocabulary)
{
    QStringList out;
    for (int i = 0; i < words; ++i) {
        // A paragraph takes its direction from its first letter: right-to-left ones start with a
        // right-to-left word (the first eight of the vocabulary).
        const bool rightToLeft = &vocabulary != &Vocabulary;
        QString word = vocabulary[random.bounded(i == 0 && rightToLeft ? 8 : vocabulary.size())];
        if (word.size() >= 10)
            word.insert(word.size() / 2, QChar(0x00AD));
        if (i == 0 || out.last().endsWith(u'.'))
            word[0] = word[0].toUpper();
        out << word;
        if (i % 11 == 10)
            out.last() += u'.';
    }
    return out.join(u' ') + u'.';
}

struct Layout {
    const char *name;
    int columns;
    int pointSize;
    bool header; // running header and footer with a page number
    bool title;  // a heading over the whole width first
    int pages;
    const QStringList &vocabulary = Vocabulary;
};

// The body text as written (columns and pages one after another), for the right-to-left pages.
QString writePdf(const QString &path, const Layout &layout, quint32 seed)
{
    QString written;
    QPdfWriter writer(path);
    writer.setResolution(Dpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    QRandomGenerator random(seed);
    const int margin = 240;
    const int gutter = 90;
    for (int page = 1; page <= layout.pages; ++page) {
        if (page > 1)
            writer.newPage();
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPointSize(layout.pointSize);
        int top = margin;
        const int bottom = writer.height() - margin;
        if (layout.header) {
            QFont small(QStringLiteral("DejaVu Sans"));
            small.setPointSize(8);
            painter.setFont(small);
            painter.drawText(QRect(margin, 120, writer.width() - 2 * margin, 60), Qt::AlignLeft,
                             QStringLiteral("Jahresbericht 2024 — Abteilung Finanzen"));
            painter.drawText(QRect(margin, writer.height() - 170, writer.width() - 2 * margin, 60), Qt::AlignHCenter,
                             QStringLiteral("Seite %1 von %2").arg(page).arg(layout.pages));
        }
        if (layout.title && page == 1) {
            QFont heading(QStringLiteral("DejaVu Sans"));
            heading.setPointSize(20);
            heading.setBold(true);
            painter.setFont(heading);
            painter.drawText(QRect(margin, top, writer.width() - 2 * margin, 150), Qt::AlignLeft,
                             QStringLiteral("Nebenkostenabrechnung für das Jahr 2024"));
            top += 200;
        }
        const int width = (writer.width() - 2 * margin - (layout.columns - 1) * gutter) / layout.columns;
        const qsizetype pageStart = written.size();
        for (int column = 0; column < layout.columns; ++column) {
            QTextDocument document;
            document.setDefaultFont(font);
            QTextOption option(Qt::AlignJustify);
            option.setTextDirection(&layout.vocabulary == &Vocabulary ? Qt::LeftToRight : Qt::RightToLeft);
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            document.setDefaultTextOption(option);
            document.setDocumentMargin(0);
            document.setPageSize(QSizeF(width, bottom - top));
            document.setTextWidth(width);
            // Paragraphs until the column is full; the last one that overflows is dropped.
            QString text;
            for (;;) {
                const QString candidate = text + (text.isEmpty() ? QString() : QStringLiteral("\n")) +
                                          paragraph(random, 30 + int(random.bounded(50)), layout.vocabulary);
                document.setPlainText(candidate);
                if (document.size().height() > bottom - top)
                    break;
                text = candidate;
            }
            document.setPlainText(text);
            // Right-to-left pages are read from the right-hand column.
            if (&layout.vocabulary == &Vocabulary)
                written += text + u'\n';
            else
                written.insert(pageStart, text + u'\n');
            painter.save();
            painter.translate(margin + column * (width + gutter), top);
            document.drawContents(&painter, QRectF(0, 0, width, bottom - top));
            painter.restore();
        }
    }
    return written;
}

QString pdftotext(const QString &path, int pages)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-l"), QString::number(pages), QStringLiteral("-enc"),
                                                QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::fprintf(stderr, "pdftotext failed on %s\n", qPrintable(path));
        std::exit(2);
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// pdftotext marks right-to-left runs with embedding controls and keeps Arabic in its shaped
// presentation forms; the excerpt has neither. Both are compared as the letters they show.
QString comparable(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if ((c.unicode() >= 0x202A && c.unicode() <= 0x202E) || c.unicode() == 0x200E || c.unicode() == 0x200F)
            continue;
        const bool presentationForm =
            (c.unicode() >= 0xFB50 && c.unicode() <= 0xFDFF) || (c.unicode() >= 0xFE70 && c.unicode() <= 0xFEFF);
        out += presentationForm ? QString(c).normalized(QString::NormalizationForm_KC) : QString(c);
    }
    return out;
}

double similarity(const QString &a, const QString &b)
{
    if (a.isEmpty() && b.isEmpty())
        return 1.0;
    return 1.0 - double(editDistance(a, b)) / double(std::max(a.size(), b.size()));
}

// Layout padding: every white-space character after the first of its run. The one space or
// line break that separates two words is text, not padding.
double whiteShare(const QString &text)
{
    if (text.isEmpty())
        return 0;
    qsizetype padding = 0;
    for (qsizetype i = 1; i < text.size(); ++i)
        padding += text[i].isSpace() && text[i - 1].isSpace() ? 1 : 0;
    return double(padding) / double(text.size());
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const Layout layouts[] = {
        {"one column, justified", 1, 11, false, false, 2},
        {"two columns", 2, 10, false, false, 2},
        {"three columns", 3, 9, false, false, 2},
        {"reference card, 3 columns", 3, 6, false, false, 1},
        {"headers and footers", 1, 11, true, false, 3},
        {"two columns, headers", 2, 10, true, false, 2},
        {"title over two columns", 2, 10, false, true, 1},
        {"three columns, title, headers", 3, 8, true, true, 2},
        {"Hebrew, one column", 1, 11, false, false, 1, HebrewVocabulary},
        {"Hebrew prose, no Latin", 1, 11, false, false, 1, HebrewWords},
        {"Arabic, one column", 1, 11, false, false, 1, ArabicVocabulary},
        {"Hebrew, two columns", 2, 10, false, false, 1, HebrewVocabulary},
    };
    struct File {
        QString name;
        QString path;
        QString written; // right-to-left pages only
    };
    QList<File> files;
    quint32 seed = 1;
    for (const Layout &layout : layouts) {
        for (int variant = 0; variant < 3; ++variant, ++seed) {
            const QString path = dir.filePath(QStringLiteral("layout%1.pdf").arg(seed));
            const QString written = writePdf(path, layout, seed);
            files.append({QStringLiteral("%1 #%2").arg(QString::fromUtf8(layout.name)).arg(variant + 1), path,
                          &layout.vocabulary == &Vocabulary ? QString() : written});
        }
    }
    for (int i = 1; i < argc; ++i)
        files.append({QString::fromLocal8Bit(argv[i]), QString::fromLocal8Bit(argv[i]), {}});

    const PDFProcessor processor;
    int similar = 0;
    double whiteSum = 0;
    double whiteMax = 0;
    for (const auto &[name, path, written] : files) {
        const QString excerpt = processor.extract(path)->extractedText;
        // The same extent of pdftotext's text: ten pages, cut to as many characters as the excerpt
        // covers once white space is collapsed on both sides.
        const QString ours = excerpt.simplified();
        const QString reference = comparable(pdftotext(path, 10)).simplified().left(ours.size());
        const double score = similarity(ours, reference);
        // pdftotext treats every character that is not right-to-left as left to right, so the
        // spaces and punctuation around a number or Latin word inside right-to-left text land on
        // the wrong side ("הודעה .מכתב"); these pages count against the text as written.
        const double asWritten = written.isEmpty() ? score : similarity(ours, written.simplified().left(ours.size()));
        const double white = whiteShare(excerpt);
        similar += asWritten >= 0.95 ? 1 : 0;
        whiteSum += white;
        whiteMax = std::max(whiteMax, white);
        std::printf("%-40s similarity %.3f", qPrintable(name.right(40)), score);
        if (!written.isEmpty())
            std::printf(" (as written %.3f)", asWritten);
        std::printf("  white space %4.1f %%\n", white * 100);
    }
    const double share = double(similar) / double(files.size());
    std::printf("files with similarity >= 0.95 (right-to-left: as written): %d of %lld (%.0f %%, target >= 90 %%); "
                "white space mean %.1f %%, "
                "max %.1f %% (target <= 5 %%)\n",
                similar, (long long)files.size(), share * 100, whiteSum / double(files.size()) * 100, whiteMax * 100);
    return share >= 0.9 && whiteMax <= 0.05 ? 0 : 1;
}
