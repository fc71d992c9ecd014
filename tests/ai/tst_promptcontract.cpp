#include "ai/promptcontract.h"
#include "extraction/filecontext.h"

#include <QTest>

namespace {

FileContext context(const QString &name, const QString &text, const MetadataMap &metadata = {})
{
    FileContext c;
    c.fileName = name;
    c.fileExtension = lowerExtension(name);
    c.extractedText = text;
    c.metadata = metadata;
    return c;
}

} // namespace

class TestPromptContract final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void categoriesGoIntoTheSystemPrompt()
    {
        const QString bare = PromptContract::buildSystemPrompt({});
        const QString listed = PromptContract::buildSystemPrompt({"rechnung", "brief"});
        QCOMPARE(listed.count("rechnung, brief"), 1);
        QCOMPARE(QString(listed).remove("rechnung, brief"), bare);
    }

    void userPrompt()
    {
        QCOMPARE(PromptContract::buildUserPrompt(context("README", ""), std::nullopt),
                 "Originaler Dateiname: README\nDateityp: \n");
        QCOMPARE(PromptContract::buildUserPrompt(context("a.pdf", ""), QString()),
                 "Originaler Dateiname: a.pdf\nDateityp: pdf\nNamenstemplate: \n");
        const FileContext scan = context("scan_0042.PDF", "Zeile 1\nZeile 2", {{"source", "ocr"}, {"k", "v"}});
        QCOMPARE(PromptContract::buildUserPrompt(scan, QString("{datum}_{kategorie}")),
                 "Originaler Dateiname: scan_0042.PDF\nDateityp: pdf\nMetadaten: source: ocr, k: v\n"
                 "Inhalt (Auszug):\nZeile 1\nZeile 2\nNamenstemplate: {datum}_{kategorie}\n");

        // The excerpt counts user-perceived characters: 2000 of them, each two code points here.
        const QString text = QString::fromUtf8("a\xcc\x88").repeated(2500);
        const QString prompt = PromptContract::buildUserPrompt(context("x.txt", text), std::nullopt);
        QVERIFY(prompt.endsWith("Inhalt (Auszug):\n" + text.left(4000) + "\n"));
        const QString exact(2000, 'x');
        QVERIFY(PromptContract::buildUserPrompt(context("x.txt", exact), std::nullopt).endsWith(exact + "\n"));
    }

    void parseExtraction_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("fields"); // datum|kategorie|beschreibung|absender|betrag, "-" absent; "": none
        QTest::addColumn<double>("confidence");
        const auto row = [](const char *name, const QString &reply, const QString &fields, double confidence) {
            QTest::newRow(name) << reply << fields << confidence;
        };
        const QString object = R"({"datum":"2024-03-15","kategorie":"rechnung","beschreibung":"Mobilfunk",)"
                               R"("absender":"Telekom","betrag":"49.99","confidence":0.85})";
        const QString full = "2024-03-15|rechnung|Mobilfunk|Telekom|49.99";
        row("bare object", object, full, 0.85);
        row("prose around", "Hier ist das Ergebnis: " + object + " Ich hoffe, das hilft.", full, 0.85);
        row("closing brace first", "} nichts {", "", 0.3);
        row("only confidence", R"({"confidence": 1})", "", 0.3);
        row("nulls and string confidence",
            R"({"datum": null, "kategorie": null, "beschreibung": "Stromrechnung", "confidence": "hoch"})",
            "-|-|Stromrechnung|-|-", 0.5);
        row("category only", R"({"kategorie": "rechnung"})", "-|rechnung||-|-", 0.5);
        row("name only", R"({"name": "Rechnung März", "confidence": 0.7})", "-|-|Rechnung März|-|-", 0.7);
        row("numeric amount absent", R"({"betrag": 49.99, "beschreibung": "Rechnung"})", "-|-|Rechnung|-|-", 0.5);
        row("text null stays text", R"({"datum": "null", "beschreibung": " x "})", "null|-| x |-|-", 0.5);
        row("array top level", R"([{"beschreibung": "x"}])", "-|-|x|-|-", 0.5);
        row("broken JSON", R"({"beschreibung": "x",})", "", 0.3);
        row("integer confidence", R"({"datum": "x", "confidence": 1})", "x|-||-|-", 1.0);
        row("empty", "", "", 0.3);
    }

    void parseExtraction()
    {
        QFETCH(QString, reply);
        QFETCH(QString, fields);
        const auto [extraction, confidence] = PromptContract::parseExtraction(reply);
        QTEST(confidence, "confidence");
        QCOMPARE(extraction.has_value(), !fields.isEmpty());
        if (!extraction)
            return;
        auto show = [](const std::optional<QString> &v) { return v.value_or("-"); };
        QCOMPARE(QStringList({show(extraction->datum), show(extraction->kategorie), extraction->beschreibung,
                              show(extraction->absender), show(extraction->betrag)})
                     .join('|'),
                 fields);
        QTEST(extraction->confidence, "confidence");
    }

    void fallbackSuggestion_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("name");
        const auto row = [](const char *name, const QString &reply, const QString &extension, const QString &result) {
            QTest::newRow(name) << reply << extension << result;
        };
        row("only confidence", R"({"confidence": 1})", "pdf", "{confidence- 1}.pdf");
        row("empty reply", "", "pdf", "unnamed.pdf");
        row("own extension, other case", "Rechnung_Telekom_2024-03.PDF", "pdf", "Rechnung_Telekom_2024-03.pdf");
        row("known extension cut", "foto.JPG", "pdf", "foto.pdf");
        row("unknown extension kept", "Vertrag v1.2", "pdf", "Vertrag v1.2.pdf");
        row("first line only", "  Brief an Amt\nweitere Zeile", "txt", "Brief an Amt.txt");
        row("forbidden characters", "a/b:c\\d\"e*f?g<h>i|j", "pdf", "a-b-c-defghi-j.pdf");
        row("hyphen runs and trimming", "--- ._Notiz--- -- .x", "md", "Notiz- - .x.md");
        row("empty extension keeps the dot", "Keine Ahnung", "", "Keine Ahnung.");
        row("cut to 80 characters", QString(100, 'x'), "pdf", QString(80, 'x') + ".pdf");
    }

    void fallbackSuggestion()
    {
        QFETCH(QString, reply);
        QFETCH(QString, extension);
        const AISuggestion suggestion = PromptContract::makeSuggestion(reply, extension);
        QVERIFY(!suggestion.extraction());
        QCOMPARE(suggestion.confidence(), 0.3);
        QTEST(suggestion.name(), "name");
    }
};

QTEST_APPLESS_MAIN(TestPromptContract)
#include "tst_promptcontract.moc"
