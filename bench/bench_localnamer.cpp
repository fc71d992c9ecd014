// How well and how cheaply the on-device namer names a generated evaluation set: every file goes
// through the app's own extraction (the sandboxed helpers; the companion is not asked), then
// LocalNamer::name with the default categories; the result is compared with the set's manifest.
// Prints per-field accuracy (datum, betrag, absender, kategorie) per kind and per group (text
// documents, scans, e-invoices), per format, the e-invoices' seller/date/total and what the
// e-invoice reader found, the learning figure, and the cost: the namer's time per file against
// extraction's time per file in the same run (target: at most 2 ms per file).
//
// Learning: in each sequence the first document counts as confirmed — a LearnedSender with the
// user's spelling, the first document's expected category and LocalNamer::senderIdentifiers of
// its context — and the figure is the share of the later documents named with that spelling.
// The same learned senders, given for every file outside the sequences, must not be recognised
// there ("false").
//
// Comparison: datum exactly; betrag to the cent, written as "49.99"; absender case- and
// umlaut-insensitively equal to an accepted spelling; kategorie case-insensitively.
//
// Usage:
//   python3 bench/evaluation/generate_evalset.py /tmp/evalset      (outside the repository)
//   build/bench/bench_localnamer /tmp/evalset [--misses]            (--misses lists every wrong field)
//   build/bench/bench_localnamer /tmp/evalset --show doc_0007.pdf   (one file's text and naming)
#include "ai/local/localnamer.h"
#include "benchprocess.h"
#include "benchtiming.h"
#include "extraction/contentextraction.h"
#include "naming/renamerules.h"

#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

const QStringList Fields{QStringLiteral("datum"), QStringLiteral("betrag"), QStringLiteral("absender"),
                         QStringLiteral("kategorie")};

struct Entry {
    QString file, kind, format, group, language;
    QJsonObject expected, sequence, einvoice;
    std::optional<FileContext> context;
    QString error;
    double extractionMs = 0;
    LocalNaming naming;
    double namingNs = 0;
    QMap<QString, bool> right; // per field
};

// Neither case nor the spelling of umlauts counts ("Krüger" = "KRUEGER"); other letters lose their
// marks ("Café" = "cafe").
QString folded(const QString &text)
{
    QString out = text.trimmed().toLower();
    out.replace(u'ä', QStringLiteral("ae")).replace(u'ö', QStringLiteral("oe")).replace(u'ü', QStringLiteral("ue"));
    out.replace(u'ß', QStringLiteral("ss"));
    QString plain;
    for (const QChar c : out.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            plain += c;
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    return plain.replace(spaces, QStringLiteral(" "));
}

std::optional<qint64> cents(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(-?)(\\d+)(?:\\.(\\d{1,2}))?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    qint64 value = m.captured(2).toLongLong() * 100;
    if (const QString part = m.captured(3); !part.isEmpty())
        value += part.size() == 1 ? part.toInt() * 10 : part.toInt();
    return m.captured(1).isEmpty() ? value : -value;
}

bool fieldRight(const QString &field, const QJsonObject &expected, const AIExtraction &got)
{
    const QJsonValue want = expected.value(field);
    if (field == u"datum")
        return got.datum && *got.datum == want.toString();
    const QJsonArray accepted = want.toArray();
    if (field == u"betrag") {
        for (const QJsonValue &value : accepted) {
            if (value.isNull() && (!got.betrag || got.betrag->trimmed().isEmpty()))
                return true;
            if (value.isString() && got.betrag && cents(*got.betrag) && cents(*got.betrag) == cents(value.toString()))
                return true;
        }
        return false;
    }
    const std::optional<QString> &value = field == u"absender" ? got.absender : got.kategorie;
    if (!value)
        return false;
    for (const QJsonValue &spelling : accepted)
        if (field == u"absender" ? folded(*value) == folded(spelling.toString())
                                 : value->compare(spelling.toString(), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString shown(const std::optional<QString> &value)
{
    return value ? QStringLiteral("\"%1\"").arg(*value) : QStringLiteral("null");
}

QString expectedText(const QJsonValue &value)
{
    if (!value.isArray())
        return value.toString();
    QStringList parts;
    for (const QJsonValue &v : value.toArray())
        parts << (v.isNull() ? QStringLiteral("null") : v.toString());
    return parts.join(QStringLiteral(" | "));
}

struct Tally {
    int files = 0;
    QMap<QString, int> right;
    int allRight = 0;
    int sure = 0, sureAllRight = 0;

    void add(const Entry &e)
    {
        ++files;
        bool all = true;
        for (const QString &field : Fields) {
            right[field] += e.right.value(field) ? 1 : 0;
            all = all && e.right.value(field);
        }
        allRight += all ? 1 : 0;
        if (e.naming.sure) {
            ++sure;
            sureAllRight += all ? 1 : 0;
        }
    }
};

QString percent(int part, int whole)
{
    return whole ? QString::number(100.0 * part / whole, 'f', 0) + u'%' : QStringLiteral("-");
}

void printTable(const char *title, const QMap<QString, Tally> &rows, const Tally &total)
{
    std::printf("\n%s\n", title);
    std::printf("%-20s %5s %7s %7s %9s %10s %7s %11s\n", "", "files", "datum", "betrag", "absender", "kategorie",
                "all 4", "sure(right)");
    auto line = [](const QString &name, const Tally &t) {
        std::printf("%-20s %5d %7s %7s %9s %10s %7s %5d (%s)\n", qPrintable(name), t.files,
                    qPrintable(percent(t.right.value(QStringLiteral("datum")), t.files)),
                    qPrintable(percent(t.right.value(QStringLiteral("betrag")), t.files)),
                    qPrintable(percent(t.right.value(QStringLiteral("absender")), t.files)),
                    qPrintable(percent(t.right.value(QStringLiteral("kategorie")), t.files)),
                    qPrintable(percent(t.allRight, t.files)), t.sure, qPrintable(percent(t.sureAllRight, t.sure)));
    };
    for (auto it = rows.begin(); it != rows.end(); ++it)
        line(it.key(), it.value());
    line(QStringLiteral("all"), total);
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double quantile(QList<double> values, double q)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min<qsizetype>(values.size() - 1, qsizetype(q * double(values.size())))];
}

} // namespace

int main(int argc, char *argv[])
{
    prepareBenchProcess(argv);
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool listMisses = args.contains(QStringLiteral("--misses"));
    QString show;
    QStringList dirs;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--show" && i + 1 < args.size())
            show = args[++i];
        else if (args[i] != u"--misses")
            dirs << args[i];
    }
    if (dirs.size() != 1) {
        std::fprintf(stderr, "usage: bench_localnamer SETDIR [--misses] [--show FILE]\n");
        return 2;
    }
    const QDir dir(dirs.first());
    QFile manifestFile(dir.filePath(QStringLiteral("manifest.json")));
    if (!manifestFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_localnamer: no manifest.json in %s\n", qPrintable(dir.path()));
        return 2;
    }
    const QJsonObject manifest = QJsonDocument::fromJson(manifestFile.readAll()).object();
    QList<Entry> entries;
    for (const QJsonValue &value : manifest.value(QStringLiteral("files")).toArray()) {
        const QJsonObject o = value.toObject();
        Entry e;
        e.file = o.value(QStringLiteral("file")).toString();
        e.kind = o.value(QStringLiteral("kind")).toString();
        e.format = o.value(QStringLiteral("format")).toString();
        e.group = o.value(QStringLiteral("group")).toString();
        e.language = o.value(QStringLiteral("language")).toString();
        e.expected = o.value(QStringLiteral("expected")).toObject();
        e.sequence = o.value(QStringLiteral("sequence")).toObject();
        e.einvoice = o.value(QStringLiteral("einvoice")).toObject();
        if (show.isEmpty() || e.file == show)
            entries << e;
    }
    if (entries.isEmpty()) {
        std::fprintf(stderr, "bench_localnamer: the manifest lists no files\n");
        return 2;
    }
    const QStringList categories = RenameRules::defaultCategories();

    // Extraction, as many files in flight as helpers run, so that each file's time is its own.
    ExtractionSandbox sandbox(QStringLiteral(NAMORIX_EXTRACT_HELPER));
    QEventLoop loop;
    qsizetype next = 0, finished = 0;
    QElapsedTimer wall;
    wall.start();
    std::function<void()> startNext = [&] {
        const qsizetype index = next++;
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        QCoro::connect(ContentExtraction::extractFileContext(dir.filePath(entries[index].file), sandbox), &loop,
                       [&, index, timer](const ExtractionResult &result) {
                           Entry &e = entries[index];
                           e.extractionMs = double(timer->nsecsElapsed()) / 1e6;
                           if (result)
                               e.context = *result;
                           else
                               e.error = result.error().message;
                           std::fprintf(stderr, "\rextracting %lld/%lld", (long long)finished + 1,
                                        (long long)entries.size());
                           if (++finished == entries.size())
                               loop.quit();
                           else if (next < entries.size())
                               startNext();
                       });
    };
    for (int i = 0; i < std::max(1, QThread::idealThreadCount()) && next < entries.size(); ++i)
        startNext();
    loop.exec();
    const double extractionWallMs = double(wall.nsecsElapsed()) / 1e6;
    std::fprintf(stderr, "\n");

    // Naming, each file many times over for a steady figure.
    constexpr int Repeats = 20;
    const FileContext empty;
    for (Entry &e : entries) {
        const FileContext &context = e.context ? *e.context : empty;
        e.naming = LocalNamer::name(context, categories);
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < Repeats; ++i)
            g_sink = g_sink + LocalNamer::name(context, categories).extraction.beschreibung.size();
        e.namingNs = double(timer.nsecsElapsed()) / Repeats;
        for (const QString &field : Fields)
            e.right[field] = fieldRight(field, e.expected, e.naming.extraction);
    }

    if (!show.isEmpty()) {
        // One file: what extraction gave and what the namer made of it.
        const Entry &e = entries.first();
        std::printf("%s\n%s\n----\n%s\n----\n", e.context ? "extracted:" : "extraction failed:",
                    e.context ? qPrintable(e.context->extractedText) : qPrintable(e.error),
                    e.context ? qPrintable(formatMetadata(e.context->metadata).join(u'\n')) : "");
        if (e.context && e.context->invoice)
            std::printf("e-invoice: seller \"%s\", date %s, total %lld\n", qPrintable(e.context->invoice->sellerName),
                        qPrintable(e.context->invoice->issueDate.value_or(QDate()).toString(Qt::ISODate)),
                        (long long)e.context->invoice->totalCents.value_or(-1));
        const AIExtraction &x = e.naming.extraction;
        std::printf("datum %s, betrag %s, absender %s, kategorie %s, beschreibung \"%s\", sure %d\n",
                    qPrintable(shown(x.datum)), qPrintable(shown(x.betrag)), qPrintable(shown(x.absender)),
                    qPrintable(shown(x.kategorie)), qPrintable(x.beschreibung), int(e.naming.sure));
        std::printf(
            "identifiers: %s\n",
            qPrintable(LocalNamer::senderIdentifiers(e.context ? *e.context : empty).join(QStringLiteral(", "))));
        return 0;
    }

    const QString setName = QFileInfo(dir.absolutePath()).fileName();
    std::printf("bench_localnamer: %lld files of %s\n", (long long)entries.size(), qPrintable(dir.absolutePath()));
    int failed = 0;
    for (const Entry &e : entries)
        failed += e.context ? 0 : 1;
    if (failed)
        std::printf("extraction failed for %d files (named from nothing)\n", failed);

    QMap<QString, Tally> byKind, byGroup, byFormat, byLanguage;
    Tally total;
    for (const Entry &e : entries) {
        byKind[e.kind].add(e);
        byGroup[e.group].add(e);
        byFormat[e.format].add(e);
        byLanguage[e.language].add(e);
        total.add(e);
    }
    printTable("Accuracy per kind", byKind, total);
    printTable("Accuracy per group (text documents, scans, e-invoices)", byGroup, total);
    printTable("Accuracy per format", byFormat, total);
    printTable("Accuracy per language", byLanguage, total);

    // E-invoices: the namer's seller, date and total, and what the reader found in the file.
    int invoices = 0, read = 0, readSeller = 0, readDate = 0, readTotal = 0, seller = 0, date = 0, amount = 0;
    for (const Entry &e : entries) {
        if (e.einvoice.isEmpty())
            continue;
        ++invoices;
        seller += e.right.value(QStringLiteral("absender")) ? 1 : 0;
        date += e.right.value(QStringLiteral("datum")) ? 1 : 0;
        amount += e.right.value(QStringLiteral("betrag")) ? 1 : 0;
        if (!e.context || !e.context->invoice)
            continue;
        const EInvoice &invoice = *e.context->invoice;
        ++read;
        for (const QJsonValue &name : e.einvoice.value(QStringLiteral("sellerName")).toArray())
            if (invoice.sellerName == name.toString()) {
                ++readSeller;
                break;
            }
        readDate += invoice.issueDate && invoice.issueDate->toString(Qt::ISODate) ==
                                             e.einvoice.value(QStringLiteral("issueDate")).toString()
                        ? 1
                        : 0;
        readTotal +=
            invoice.totalCents && *invoice.totalCents == e.einvoice.value(QStringLiteral("totalCents")).toInteger() ? 1
                                                                                                                    : 0;
    }
    std::printf("\nE-invoices (%d): named seller %s, date %s, total %s; reader found the invoice in %s "
                "(seller %s, date %s, total %s)\n",
                invoices, qPrintable(percent(seller, invoices)), qPrintable(percent(date, invoices)),
                qPrintable(percent(amount, invoices)), qPrintable(percent(read, invoices)),
                qPrintable(percent(readSeller, invoices)), qPrintable(percent(readDate, invoices)),
                qPrintable(percent(readTotal, invoices)));

    // Learning.
    QMap<QString, QList<const Entry *>> sequences;
    for (const Entry &e : entries)
        if (!e.sequence.isEmpty())
            sequences[e.sequence.value(QStringLiteral("id")).toString()] << &e;
    QList<LearnedSender> allLearned;
    QStringList spellings;
    QList<QSet<QString>> senderNames; // each sequence's accepted names of its sender, folded
    int laterTotal = 0, laterRight = 0;
    std::printf("\nLearning (first document confirmed with the user's spelling)\n");
    for (auto it = sequences.begin(); it != sequences.end(); ++it) {
        QList<const Entry *> docs = it.value();
        std::sort(docs.begin(), docs.end(), [](const Entry *a, const Entry *b) {
            return a->sequence.value(QStringLiteral("index")).toInt() <
                   b->sequence.value(QStringLiteral("index")).toInt();
        });
        const Entry &first = *docs.first();
        const QString spelling = first.sequence.value(QStringLiteral("userSpelling")).toString();
        LearnedSender learned;
        learned.absender = spelling;
        const QJsonArray kategorie = first.expected.value(QStringLiteral("kategorie")).toArray();
        if (!kategorie.isEmpty())
            learned.kategorie = kategorie.first().toString();
        learned.identifiers = LocalNamer::senderIdentifiers(first.context ? *first.context : empty);
        allLearned << learned;
        spellings << spelling;
        QSet<QString> names;
        for (const QJsonValue &name : first.expected.value(QStringLiteral("absender")).toArray())
            names.insert(folded(name.toString()));
        senderNames << names;
        int right = 0;
        QStringList misses;
        for (qsizetype i = 1; i < docs.size(); ++i) {
            const Entry &e = *docs[i];
            const LocalNaming named = LocalNamer::name(e.context ? *e.context : empty, categories, {learned});
            const bool ok = named.extraction.absender && folded(*named.extraction.absender) == folded(spelling);
            right += ok ? 1 : 0;
            if (!ok)
                misses << QStringLiteral("%1 (%2, %3)").arg(e.file, e.format, shown(named.extraction.absender));
        }
        laterTotal += int(docs.size()) - 1;
        laterRight += right;
        std::printf("%-16s %-20s %d/%lld  identifiers: %s\n", qPrintable(it.key()), qPrintable(spelling), right,
                    (long long)docs.size() - 1, qPrintable(learned.identifiers.join(QStringLiteral(", "))));
        if (listMisses && !misses.isEmpty())
            std::printf("    not recognised: %s\n", qPrintable(misses.join(QStringLiteral("; "))));
    }
    // Outside the sequences: a file of a learned sender should get its spelling too, any other
    // file never.
    int sameSender = 0, sameRight = 0, others = 0, falseLearned = 0;
    QStringList falseFiles;
    for (const Entry &e : entries) {
        if (!e.sequence.isEmpty())
            continue;
        const LocalNaming named = LocalNamer::name(e.context ? *e.context : empty, categories, allLearned);
        const QString got = named.extraction.absender ? folded(*named.extraction.absender) : QString();
        std::optional<qsizetype> own;
        for (qsizetype i = 0; i < senderNames.size() && !own; ++i)
            for (const QJsonValue &name : e.expected.value(QStringLiteral("absender")).toArray())
                if (senderNames[i].contains(folded(name.toString())))
                    own = i;
        if (own) {
            ++sameSender;
            sameRight += got == folded(spellings[*own]) ? 1 : 0;
            continue;
        }
        ++others;
        for (const QString &spelling : spellings)
            if (got == folded(spelling)) {
                ++falseLearned;
                falseFiles << QStringLiteral("%1 → %2").arg(e.file, spelling);
                break;
            }
    }
    std::printf("learning: %d/%d later documents named with the user's spelling (%s); the same senders' %d files "
                "outside the sequences: %d; false recognitions among %d files of other senders: %d\n",
                laterRight, laterTotal, qPrintable(percent(laterRight, laterTotal)), sameSender, sameRight, others,
                falseLearned);
    if (listMisses && !falseFiles.isEmpty())
        std::printf("    false: %s\n", qPrintable(falseFiles.join(QStringLiteral("; "))));

    // Cost.
    QList<double> extractionMs, namingMs;
    for (const Entry &e : entries) {
        extractionMs << e.extractionMs;
        namingMs << e.namingNs / 1e6;
    }
    double extractionSum = 0, namingSum = 0;
    for (double v : extractionMs)
        extractionSum += v;
    for (double v : namingMs)
        namingSum += v;
    const double extractionMean = extractionSum / double(entries.size());
    const double namingMean = namingSum / double(entries.size());
    const double namingMax = *std::max_element(namingMs.begin(), namingMs.end());
    std::printf("\nCost per file: extraction mean %.1f ms (median %.1f, %.0f s for the set with %d helpers); "
                "namer mean %.3f ms, median %.3f, 95th percentile %.3f, max %.3f\n",
                extractionMean, median(extractionMs), extractionWallMs / 1000, std::max(1, QThread::idealThreadCount()),
                namingMean, median(namingMs), quantile(namingMs, 0.95), namingMax);
    std::printf("namer/extraction per file: %.4f (mean), %.4f (median); target namer <= 2 ms per file: %s\n",
                namingMean / extractionMean, median(namingMs) / std::max(1e-9, median(extractionMs)),
                namingMax <= 2.0    ? "met (every file)"
                : namingMean <= 2.0 ? "met on average, not for every file"
                                    : "MISSED");

    if (listMisses) {
        std::printf("\nMisses of %s\n", qPrintable(setName));
        for (const Entry &e : entries) {
            QStringList wrong;
            const AIExtraction &x = e.naming.extraction;
            for (const QString &field : Fields) {
                if (e.right.value(field))
                    continue;
                const std::optional<QString> got = field == u"datum"      ? x.datum
                                                   : field == u"betrag"   ? x.betrag
                                                   : field == u"absender" ? x.absender
                                                                          : x.kategorie;
                const auto source = e.naming.sources.constFind(field);
                wrong << QStringLiteral("%1 %2 (want %3%4)")
                             .arg(field, shown(got), expectedText(e.expected.value(field)),
                                  source == e.naming.sources.constEnd()
                                      ? QString()
                                      : QStringLiteral(", from ") + rawValue(*source));
            }
            if (!wrong.isEmpty())
                std::printf("%s [%s %s %s]%s: %s\n", qPrintable(e.file), qPrintable(e.kind), qPrintable(e.format),
                            qPrintable(e.language), e.context ? "" : qPrintable(QStringLiteral(" (") + e.error + u')'),
                            qPrintable(wrong.join(QStringLiteral("; "))));
        }
    }
    return 0;
}
