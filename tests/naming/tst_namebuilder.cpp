#include "naming/aiextraction.h"
#include "naming/namebuilder.h"
#include "naming/namediff.h"
#include "naming/renamerules.h"
#include "settings/defaultsstore.h"

#include <QTest>

using M = QVariantMap;

namespace {

// Rule lists in their stored JSON form (outside the class: moc does not know raw-string delimiters).
const QVariant InvalidThenValid =
    R"j([{"pattern":"(","replacement":"x"},{"pattern":"mobil(funk)","replacement":"$1"}])j";
const QVariant Disabled = R"j([{"pattern":"rechnung","replacement":"r","enabled":false}])j";
const QVariant Unsanitised = R"j([{"pattern":"rechnung","replacement":"Rech/nung (alt)"}])j";
const QVariant Underscores = R"j([{"pattern":"maerz$","replacement":"__"}])j";

// "text/kind" per segment, kinds abbreviated u, a, r: shows empty segments and neighbours of one kind too.
QString describe(const QList<NameDiff::Segment> &segments)
{
    QStringList parts;
    for (const NameDiff::Segment &s : segments) {
        const char kind = s.kind == NameDiff::Segment::Kind::unchanged ? 'u'
                          : s.kind == NameDiff::Segment::Kind::added   ? 'a'
                                                                       : 'r';
        parts << s.text + u'/' + QLatin1Char(kind);
    }
    return parts.join(u' ');
}

} // namespace

class TestNameBuilder final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each row: overrides of the worked example's extraction ("datum", "kategorie", "beschreibung";
    // an invalid value is absent), its extension ("ext") and the rules (property names; enums by
    // raw value, "regex" in its stored JSON form).
    void buildFileName_data()
    {
        QTest::addColumn<M>("given");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const M &given, const QString &expected) {
            QTest::newRow(name) << given << expected;
        };
        const auto with = [](M a, const M &b) {
            a.insert(b);
            return a;
        };
        const QVariant none;
        const M descOnly{{"datum", none}, {"format", "{beschreibung}"}};
        const M bare = with(descOnly, {{"kategorie", none}});
        const QString eAcute = QString::fromUtf8("e\xcc\x81"), diaeresis = QString::fromUtf8("\xcc\x88");

        // The worked example and its variants.
        row("de", {{"dateFormat", "DD.MM.YYYY"}}, "15.03.2024_rechnung_mobilfunk_maerz.pdf");
        row("titlecase", {{"casing", "Title Case"}}, "2024-03-15_rechnung_mobilfunk_Maerz.pdf");
        row("us, dash", {{"dateFormat", "MM-DD-YYYY"}, {"separator", "-"}}, "03-15-2024-rechnung-mobilfunk-maerz.pdf");

        // Dates.
        row("date style none", {{"dateFormat", "Kein Datum"}}, "rechnung_mobilfunk_maerz.pdf");
        row("unparsed date passes", {{"datum", "März 2024"}}, "maerz_2024_rechnung_mobilfunk_maerz.pdf");

        // Category removal from the description.
        row("category word removed", with(descOnly, {{"kategorie", "angebot"}, {"beschreibung", "Website Angebot"}}),
            "website.pdf");
        row("category inside a word kept", with(descOnly, {{"beschreibung", "Rechnungsnummer 12"}}),
            "rechnungsnummer_12.pdf");
        row("category metacharacters escaped", with(descOnly, {{"kategorie", "a.b"}, {"beschreibung", "axb Test"}}),
            "axb_test.pdf");
        row("lone backslash category",
            with(descOnly, {{"kategorie", "\\"}, {"beschreibung", "a \\ b"}, {"casing", "Wie von KI"}}), "a_b.pdf");
        row("empty category keeps untrimmed", with(descOnly, {{"kategorie", ""}, {"beschreibung", " x "}}), "x.pdf");

        // Sanitising, collapsing, trimming.
        row("unknown token", {{"format", "{foo}"}}, "foo.pdf");
        row("disallowed characters",
            with(bare, {{"beschreibung", "A/B: C"}, {"separator", "-"}, {"casing", "Wie von KI"}}), "A-B-C.pdf");
        row("emoji is one separator", with(bare, {{"beschreibung", "Urlaub 🏖 Foto"}}), "urlaub_foto.pdf");
        row("mixed separator run stays", with(bare, {{"beschreibung", "a-_b"}}), "a-_b.pdf");
        row("marks and other scripts kept", with(bare, {{"beschreibung", "Ελλάδα 東京 ١٢"}, {"casing", "Wie von KI"}}),
            "Ελλάδα_東京_١٢.pdf");

        // Length.
        row("cut then trimmed", {{"format", "{datum}{sep}{kategorie}"}, {"maxLength", 11}}, "2024-03-15.pdf");
        row("exactly maxLength kept", {{"format", "{datum}{sep}{kategorie}"}, {"maxLength", 19}},
            "2024-03-15_rechnung.pdf");
        row("length counts clusters", with(bare, {{"beschreibung", eAcute.repeated(4)}, {"maxLength", 3}}),
            eAcute.repeated(3) + ".pdf");
        row("negative limit acts as 0", {{"maxLength", -5}}, "unnamed.pdf");

        // Regex rules.
        row("default rule strips camera prefix",
            with(bare, {{"beschreibung", "IMG_1234_Urlaub"}, {"casing", "Wie von KI"}}), "Urlaub.pdf");
        row("invalid rule skipped, next runs", {{"regex", InvalidThenValid}}, "2024-03-15_rechnung_funk_maerz.pdf");
        row("disabled rule skipped", {{"regex", Disabled}}, "2024-03-15_rechnung_mobilfunk_maerz.pdf");
        row("rule output not sanitised nor cut", {{"maxLength", 32}, {"regex", Unsanitised}},
            "2024-03-15_Rech/nung (alt)_mobilfunk_ma.pdf");
        row("rule output trimmed", {{"regex", Underscores}}, "2024-03-15_rechnung_mobilfunk.pdf");

        // Empty results, prefix and suffix, extensions.
        row("empty format", {{"format", ""}}, "unnamed.pdf");
        row("prefix not cased", {{"prefix", "ABC"}, {"suffix", "X"}}, "ABC_2024-03-15_rechnung_mobilfunk_maerz_X.pdf");
        row("prefix gets umlauts replaced", {{"prefix", "Bücher"}}, "Buecher_2024-03-15_rechnung_mobilfunk_maerz.pdf");
        row("decomposed umlaut", with(bare, {{"beschreibung", "Ma" + diaeresis + "rz"}}), "maerz.pdf");
        row("sharp s upper-cased", with(bare, {{"beschreibung", "Straße"}, {"casing", "GROSSBUCHSTABEN"}}),
            "STRASSE.pdf");
        row("upper-case extension kept", {{"ext", "PDF"}}, "2024-03-15_rechnung_mobilfunk_maerz.PDF");
        row("empty extension, no dot", {{"ext", ""}}, "2024-03-15_rechnung_mobilfunk_maerz");
    }

    void buildFileName()
    {
        QFETCH(M, given);
        const auto take = [&given](const QString &key, const QVariant &fallback) {
            return given.contains(key) ? given.take(key) : fallback;
        };
        const auto text = [](const QVariant &v) { return v.isValid() ? std::optional(v.toString()) : std::nullopt; };
        const AIExtraction extraction{.datum = text(take("datum", "2024-03-15")),
                                      .kategorie = text(take("kategorie", "rechnung")),
                                      .beschreibung = take("beschreibung", "Mobilfunk Maerz").toString(),
                                      .absender = "Telekom",
                                      .betrag = "49.99",
                                      .confidence = 0.9};
        const QString extension = take("ext", "pdf").toString();

        DefaultsStore store;
        RenameRules rules(store);
        for (auto it = given.cbegin(); it != given.cend(); ++it) {
            const QString key = it.key(), value = it.value().toString();
            if (key == u"dateFormat")
                rules.setDateFormat(enumFromRaw<DateFormatStyle>(value).value());
            else if (key == u"casing")
                rules.setCasing(enumFromRaw<CasingStyle>(value).value());
            else if (key == u"separator")
                rules.setSeparator(enumFromRaw<SeparatorStyle>(value).value());
            else if (key == u"regex")
                rules.setRegexRules(RenameRules::decodeRegexRules(value.toUtf8()).value());
            else
                QVERIFY2(rules.setProperty(qPrintable(key), it.value()), qPrintable(key));
        }
        QTEST(NameBuilder::buildFileName(extraction, rules, extension), "expected");
    }

    // The builder's steps on their own: "normalize" (a document date), "format <date style>",
    // "case <casing>" and "umlauts", styles by raw value.
    void steps_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const auto rows = [](const QString &step) {
            return [step](const char *name, const QString &input, const QString &expected) {
                QTest::addRow("%s: %s", qPrintable(step), name) << step << input << expected;
            };
        };
        const auto normalize = rows("normalize");
        normalize("tab and no-break space trimmed", "\t2024-03-15\u00a0", "2024-03-15");
        normalize("German inside text", "Rechnung vom 15.03.2024", "2024-03-15");
        normalize("slashes are month first", "03/15/2024", "2024-03-15");
        normalize("compact", "20240315", "2024-03-15");
        normalize("Arabic-Indic digits", "١٥.٠٣.٢٠٢٤", "٢٠٢٤-٠٣-١٥");
        normalize("nine digits pass", "202403151", "202403151");
        rows("format YYYYMMDD")("compact", "2024-03-15", "20240315");
        rows("format DD.MM.YYYY")("two pieces unchanged", "2024-03", "2024-03");
        rows("format YYYY-MM-DD")("empty pieces dropped", "-2024--03-15-", "2024-03-15");
        rows("format DD.MM.YYYY")("pieces not checked", "a-b-c", "c.b.a");
        const QString acute = QString::fromUtf8("\xcc\x81"), diaeresis = QString::fromUtf8("\xcc\x88");
        const auto title = rows("case Title Case");
        title("only spaces split", "2024-03-15_rechnung_Mobilfunk Maerz", "2024-03-15_rechnung_mobilfunk Maerz");
        title("runs of spaces shrink", "  aPFEL   bIRNE ", "Apfel Birne");
        title("first cluster with mark", "e" + acute + "COLE", "E" + acute + "cole");
        rows("case kleinbuchstaben")("full mapping", "ÄRGER İ", QString::fromUtf8("ärger i\xcc\x87"));
        const auto umlauts = rows("umlauts");
        umlauts("all seven", "äöüÄÖÜß", "aeoeueAeOeUess");
        umlauts("decomposed", "Gru" + diaeresis + "ße", "Gruesse");
        umlauts("other marks untouched", "e" + acute, "e" + acute);
    }

    void steps()
    {
        QFETCH(QString, step);
        QFETCH(QString, input);
        const QString style = step.section(' ', 1);
        QTEST(step == "normalize" ? NameBuilder::normalizeDocumentDate(input)
              : step == "umlauts" ? NameBuilder::replacingUmlauts(input)
              : step.startsWith("format")
                  ? NameBuilder::formatDocumentDate(input, enumFromRaw<DateFormatStyle>(style).value())
                  : NameBuilder::applyCasing(input, enumFromRaw<CasingStyle>(style).value()),
              "expected");
    }

    // How the review shows a rename: per side, the parts kept, removed and added.
    void nameDiff_data()
    {
        QTest::addColumn<QString>("oldName");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("oldSide");
        QTest::addColumn<QString>("newSide");
        const auto row = [](const char *name, const QString &oldName, const QString &newName, const QString &oldSide,
                            const QString &newSide) {
            QTest::newRow(name) << oldName << newName << oldSide << newSide;
        };
        row("prefix added", "rechnung.pdf", "2024_rechnung.pdf", "rechnung/u .pdf/u", "2024_/a rechnung/u .pdf/u");
        row("a changed word is marked whole", "Scan 12.pdf", "scan_12.pdf", "Scan /r 12/u .pdf/u",
            "scan_/a 12/u .pdf/u");
        row("tie moves in new", "a_b.pdf", "b_a.pdf", "a_/r b/u .pdf/u", "b/u _a/a .pdf/u");
        row("identical", "brief.txt", "brief.txt", "brief/u .txt/u", "brief/u .txt/u");
        row("nothing in common", "abc.pdf", "xyz.pdf", "abc/r .pdf/u", "xyz/a .pdf/u");
        row("new without extension", "a.pdf", "ab", "a/r", "ab/a");
        row("old extension not used", "scan.PDF", "brief.pdf", "scan/r .pdf/u", "brief/a .pdf/u");
        row("empty old base", "", "neu.pdf", ".pdf/u", "neu/a .pdf/u");
        row("digits and letters part", "IMG1234 (1).jpg", "2024_IMG.jpg", "IMG/u 1234 (1)/r .jpg/u",
            "2024_/a IMG/u .jpg/u");
        row("leading dot is no extension", ".profile", "profile.txt", "./r profile/u .txt/u", "profile/u .txt/u");
        const QString composed = QString::fromUtf8("M\xc3\xa4rz"), decomposed = QString::fromUtf8("Ma\xcc\x88rz");
        row("canonical equivalence", composed + ".pdf", decomposed + ".pdf", composed + "/u .pdf/u",
            decomposed + "/u .pdf/u");
        const QString thumb = QString::fromUtf8("\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd"); // with a skin tone
        row("clusters are characters", "x" + thumb + ".txt", "x.txt", "x/u " + thumb + "/r .txt/u", "x/u .txt/u");
    }

    void nameDiff()
    {
        QFETCH(QString, oldName);
        QFETCH(QString, newName);
        const NameDiff::Sides sides = NameDiff::compute(oldName, newName);
        QTEST(describe(sides.oldSide), "oldSide");
        QTEST(describe(sides.newSide), "newSide");
    }
};

QTEST_GUILESS_MAIN(TestNameBuilder)
#include "tst_namebuilder.moc"
