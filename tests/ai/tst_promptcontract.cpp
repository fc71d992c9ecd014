#include "ai/promptcontract.h"
#include "extraction/filecontext.h"

#include <QCryptographicHash>
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

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

} // namespace

class TestPromptContract final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void systemPromptIsExact();
    void userPrompt();
    void parseExtraction_data();
    void parseExtraction();
    void fallbackSuggestion_data();
    void fallbackSuggestion();
};

void TestPromptContract::systemPromptIsExact()
{
    // The two fixed pieces, identified by their exact bytes; categories go between them.
    const QByteArray bare = PromptContract::buildSystemPrompt({}).toUtf8();
    QCOMPARE(bare.size(), 427 + 763);
    QCOMPARE(sha256(bare.left(427)), QByteArray("aa3fe1609408e01dbe98021cf1293ba6eaf94807095b2f191d9b5612c6232128"));
    QCOMPARE(sha256(bare.mid(427)), QByteArray("be38ff5bfdc8d24f7bd69ea1a649f897b161b73f44d28a72de5f4d1a8d6adba3"));
    QCOMPARE(PromptContract::buildSystemPrompt({"rechnung", "brief"}).toUtf8(), bare.left(427) + "rechnung, brief" + bare.mid(427));
}

void TestPromptContract::userPrompt()
{
    QCOMPARE(PromptContract::buildUserPrompt(context("README", ""), std::nullopt),
             QString("Originaler Dateiname: README\nDateityp: \n"));
    QCOMPARE(PromptContract::buildUserPrompt(context("a.pdf", ""), QString()),
             QString("Originaler Dateiname: a.pdf\nDateityp: pdf\nNamenstemplate: \n"));
    QCOMPARE(PromptContract::buildUserPrompt(context("scan_0042.PDF", "Zeile 1\nZeile 2", {{"source", "ocr"}, {"k", "v"}}),
                                             QString("{datum}_{kategorie}")),
             QString("Originaler Dateiname: scan_0042.PDF\nDateityp: pdf\nMetadaten: source: ocr, k: v\n"
                     "Inhalt (Auszug):\nZeile 1\nZeile 2\nNamenstemplate: {datum}_{kategorie}\n"));

    // The excerpt counts user-perceived characters: 2000 of them, each two code points here.
    QString text;
    for (int i = 0; i < 2500; ++i)
        text += QString::fromUtf8("a\xcc\x88");
    const QString prompt = PromptContract::buildUserPrompt(context("x.txt", text), std::nullopt);
    QVERIFY(prompt.endsWith("Inhalt (Auszug):\n" + text.left(4000) + "\n"));
    const QString exact(2000, 'x');
    QVERIFY(PromptContract::buildUserPrompt(context("x.txt", exact), std::nullopt).endsWith(exact + "\n"));
}

void TestPromptContract::parseExtraction_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("hasExtraction");
    QTest::addColumn<QString>("fields"); // datum|kategorie|beschreibung|absender|betrag, "-" = absent
    QTest::addColumn<double>("confidence");

    const QString object = R"({"datum":"2024-03-15","kategorie":"rechnung","beschreibung":"Mobilfunk","absender":"Telekom","betrag":"49.99","confidence":0.85})";
    const QString full = "2024-03-15|rechnung|Mobilfunk|Telekom|49.99";
    QTest::newRow("bare object") << object << true << full << 0.85;
    QTest::newRow("prose around") << "Hier ist das Ergebnis: " + object + " Ich hoffe, das hilft." << true << full << 0.85;
    QTest::newRow("closing brace first") << "} nichts {" << false << "" << 0.3;
    QTest::newRow("only confidence") << R"({"confidence": 1})" << false << "" << 0.3;
    QTest::newRow("nulls and string confidence")
        << R"({"datum": null, "kategorie": null, "beschreibung": "Stromrechnung", "confidence": "hoch"})" << true
        << "-|-|Stromrechnung|-|-" << 0.5;
    QTest::newRow("category only") << R"({"kategorie": "rechnung"})" << true << "-|rechnung||-|-" << 0.5;
    QTest::newRow("name only") << R"({"name": "Rechnung März", "confidence": 0.7})" << true << "-|-|Rechnung März|-|-"
                               << 0.7;
    QTest::newRow("numeric amount absent") << R"({"betrag": 49.99, "beschreibung": "Rechnung"})" << true
                                           << "-|-|Rechnung|-|-" << 0.5;
    QTest::newRow("text null stays text") << R"({"datum": "null", "beschreibung": " x "})" << true << "null|-| x |-|-"
                                          << 0.5;
    QTest::newRow("array top level") << R"([{"beschreibung": "x"}])" << true << "-|-|x|-|-" << 0.5;
    QTest::newRow("broken JSON") << R"({"beschreibung": "x",})" << false << "" << 0.3;
    QTest::newRow("integer confidence") << R"({"datum": "x", "confidence": 1})" << true << "x|-||-|-" << 1.0;
    QTest::newRow("empty") << "" << false << "" << 0.3;
}

void TestPromptContract::parseExtraction()
{
    QFETCH(QString, reply);
    QFETCH(bool, hasExtraction);
    QFETCH(QString, fields);
    QFETCH(double, confidence);
    const auto [extraction, parsedConfidence] = PromptContract::parseExtraction(reply);
    QCOMPARE(parsedConfidence, confidence);
    QCOMPARE(extraction.has_value(), hasExtraction);
    if (!extraction)
        return;
    auto show = [](const std::optional<QString> &v) { return v.value_or("-"); };
    QCOMPARE(QStringList({show(extraction->datum), show(extraction->kategorie), extraction->beschreibung,
                          show(extraction->absender), show(extraction->betrag)})
                 .join('|'),
             fields);
    QCOMPARE(extraction->confidence, confidence);
}

void TestPromptContract::fallbackSuggestion_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("name");
    QTest::newRow("only confidence") << R"({"confidence": 1})" << "pdf" << "{confidence- 1}.pdf";
    QTest::newRow("empty reply") << "" << "pdf" << "unnamed.pdf";
    QTest::newRow("own extension, other case") << "Rechnung_Telekom_2024-03.PDF" << "pdf" << "Rechnung_Telekom_2024-03.pdf";
    QTest::newRow("known extension cut") << "foto.JPG" << "pdf" << "foto.pdf";
    QTest::newRow("unknown extension kept") << "Vertrag v1.2" << "pdf" << "Vertrag v1.2.pdf";
    QTest::newRow("first line only") << "  Brief an Amt\nweitere Zeile" << "txt" << "Brief an Amt.txt";
    QTest::newRow("forbidden characters") << "a/b:c\\d\"e*f?g<h>i|j" << "pdf" << "a-b-c-defghi-j.pdf";
    QTest::newRow("hyphen runs and trimming") << "--- ._Notiz--- -- .x" << "md" << "Notiz- - .x.md";
    QTest::newRow("empty extension keeps the dot") << "Keine Ahnung" << "" << "Keine Ahnung.";
    QTest::newRow("cut to 80 characters") << QString(100, 'x') << "pdf" << QString(80, 'x') + ".pdf";
}

void TestPromptContract::fallbackSuggestion()
{
    QFETCH(QString, reply);
    QFETCH(QString, extension);
    QFETCH(QString, name);
    const AISuggestion suggestion = PromptContract::makeSuggestion(reply, extension);
    QVERIFY(!suggestion.extraction());
    QCOMPARE(suggestion.confidence(), 0.3);
    QCOMPARE(suggestion.name(), name);
}

QTEST_APPLESS_MAIN(TestPromptContract)
#include "tst_promptcontract.moc"
