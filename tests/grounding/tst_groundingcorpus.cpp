// A labelled corpus (corpus.json): 64 invoices written as PDF with a text layer, DOCX, e-mail and
// HTML, German and English, with dates and amounts in the forms people write, run through the real
// engine against the LLM stub. The scripted model answers correctly for three quarters; for every
// fourth document its reply has the "wrong" field: a wrong date, a wrong amount or an invented
// sender. Measured per field: the share of wrong values flagged (recall) and of correct values
// flagged by mistake.
#include "enginefixture.h"
#include "extractiontestkit.h"

using namespace ExtractionTestKit;

namespace {

// The document's lines in the format its name gives; an e-mail has its first line, the sender, in
// the From header only, which reaches the model as metadata.
bool writeDocument(const QString &path, const QStringList &lines, bool german)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix == "pdf")
        return !writePdf(path, {{{lines}}}).isEmpty();
    QString body;
    for (const QString &line : lines)
        body +=
            QString(suffix == "docx" ? "<w:p><w:r><w:t>%1</w:t></w:r></w:p>" : "<p>%1</p>").arg(line.toHtmlEscaped());
    if (suffix == "docx") {
        const QByteArray xml = R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)"
                               "<w:body>" +
                               body.toUtf8() + "</w:body></w:document>";
        return !writeZip(path, {{"word/document.xml", xml}}).isEmpty();
    }
    const QString html = "<html><head><title>%1</title></head><body>%2</body></html>";
    const QString mail = "From: %1 <rechnung@example.com>\r\nTo: kunde@example.com\r\nSubject: %2\r\n"
                         "Content-Type: text/plain; charset=utf-8\r\n\r\n%3\r\n";
    const QString text = suffix == "html"
                             ? html.arg(german ? "Rechnung" : "Invoice", body)
                             : mail.arg(lines[0], german ? "Ihre Rechnung" : "Your invoice", lines.mid(1).join("\r\n"));
    return !writeFile(path, text.toUtf8()).isEmpty();
}

} // namespace

class TestGroundingCorpus final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wrongFieldsAreFlaggedAndRightOnesAreNot()
    {
        QFile file(QFINDTESTDATA("corpus.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonArray corpus = QJsonDocument::fromJson(file.readAll()).array();
        QCOMPARE(corpus.size(), 64);
        QTemporaryDir dir;
        EngineFixture fixture;
        fixture.rules.setCategories({"rechnung", "vertrag", "brief", "beleg"});
        QList<QUrl> urls;
        for (const QJsonValue &d : corpus) {
            const QString name = d["file"].toString(), path = dir.filePath(name);
            QVERIFY(writeDocument(path, d["text"].toString().split('\n'), d["lang"] == "de"));
            fixture.llm.setReply(name, QJsonDocument(d["reply"].toObject()).toJson(QJsonDocument::Compact));
            urls << QUrl::fromLocalFile(path);
        }
        const std::unique_ptr<RenameEngine> engine = fixture.makeEngine();
        awaitTask(engine->analyze(urls, std::nullopt));
        QCOMPARE(engine->jobs().size(), corpus.size());

        // Per field: [wrong, wrong flagged, right, right flagged].
        QMap<QString, std::array<int, 4>> counts;
        for (qsizetype i = 0; i < corpus.size(); ++i) {
            const RenameJob &job = engine->jobs().at(i);
            QVERIFY2(job.explanation, qPrintable(job.originalName()));
            for (const Grounding::FieldCheck &check : job.explanation->report.fields) {
                const bool wrong = corpus[i]["wrong"] == check.field;
                const bool flagged = check.status != Grounding::Status::verified;
                std::array<int, 4> &c = counts[check.field];
                ++c[wrong ? 0 : 2];
                if (flagged)
                    ++c[wrong ? 1 : 3];
                if (flagged != wrong)
                    qWarning("%s %s: %s (%s)", qPrintable(job.originalName()), qPrintable(check.field),
                             flagged ? "wrongly flagged" : "missed", qPrintable(check.reason));
            }
        }
        QCOMPARE(counts.keys(), (QStringList{"absender", "betrag", "datum", "kategorie"}));
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            const auto &[wrong, caught, right, falseFlags] = it.value();
            qInfo("%-9s wrong %2d, flagged %2d (recall %5.1f %%); right %2d, flagged %d (%4.1f %%)",
                  qPrintable(it.key()), wrong, caught, wrong ? 100.0 * caught / wrong : 100.0, right, falseFlags,
                  100.0 * falseFlags / right);
            QCOMPARE(caught, wrong);
            QVERIFY2(falseFlags * 50 <= right, qPrintable(it.key()));
        }
        QCOMPARE(counts["datum"][0] + counts["betrag"][0] + counts["absender"][0], 16);
    }
};

QTEST_MAIN(TestGroundingCorpus)
#include "tst_groundingcorpus.moc"
