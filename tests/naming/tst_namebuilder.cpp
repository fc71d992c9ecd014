#include "ai/aiextraction.h"
#include "naming/namebuilder.h"
#include "naming/renamerules.h"
#include "settings/defaultsstore.h"

#include <QTest>

namespace {

// Overrides on top of the default rules, keyed by property name; "regex" holds the stored JSON form.
void applyOverrides(RenameRules &rules, const QVariantMap &overrides)
{
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it) {
        const QString key = it.key();
        const QVariant v = it.value();
        if (key == u"format")
            rules.setFormat(v.toString());
        else if (key == u"dateFormat")
            rules.setDateFormat(enumFromRaw<DateFormatStyle>(v.toString()).value());
        else if (key == u"casing")
            rules.setCasing(enumFromRaw<CasingStyle>(v.toString()).value());
        else if (key == u"separator")
            rules.setSeparator(enumFromRaw<SeparatorStyle>(v.toString()).value());
        else if (key == u"prefix")
            rules.setPrefix(v.toString());
        else if (key == u"suffix")
            rules.setSuffix(v.toString());
        else if (key == u"maxLength")
            rules.setMaxLength(v.toLongLong());
        else if (key == u"replaceUmlauts")
            rules.setReplaceUmlauts(v.toBool());
        else if (key == u"regex")
            rules.setRegexRules(RenameRules::decodeRegexRules(v.toByteArray()).value());
        else
            QFAIL(qPrintable(QString("unknown override ") + key));
    }
}

std::optional<QString> optionalText(const QVariant &v)
{
    return v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt;
}

} // namespace

class TestNameBuilder final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buildFileName_data();
    void buildFileName();
    void normalizeDocumentDate_data();
    void normalizeDocumentDate();
    void formatDocumentDate_data();
    void formatDocumentDate();
    void casingAndUmlauts_data();
    void casingAndUmlauts();
};

void TestNameBuilder::buildFileName_data()
{
    QTest::addColumn<QVariant>("datum");
    QTest::addColumn<QVariant>("kategorie");
    QTest::addColumn<QString>("beschreibung");
    QTest::addColumn<QVariantMap>("rules");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("expected");

    const QVariant date = QStringLiteral("2024-03-15");
    const QVariant invoice = QStringLiteral("rechnung");
    const QString desc = QStringLiteral("Mobilfunk Maerz");
    const QString pdf = QStringLiteral("pdf");
    const QVariant absent;
    using M = QVariantMap;

    // The worked example and its variants.
    QTest::newRow("defaults") << date << invoice << desc << M{} << pdf << "2024-03-15_rechnung_mobilfunk_maerz.pdf";
    QTest::newRow("de") << date << invoice << desc << M{{"dateFormat", "DD.MM.YYYY"}} << pdf
                        << "15.03.2024_rechnung_mobilfunk_maerz.pdf";
    QTest::newRow("titlecase") << date << invoice << desc << M{{"casing", "Title Case"}} << pdf
                               << "2024-03-15_rechnung_mobilfunk_Maerz.pdf";
    QTest::newRow("uppercase") << date << invoice << desc << M{{"casing", "GROSSBUCHSTABEN"}} << pdf
                               << "2024-03-15_RECHNUNG_MOBILFUNK_MAERZ.pdf";
    QTest::newRow("us, dash") << date << invoice << desc << M{{"dateFormat", "MM-DD-YYYY"}, {"separator", "-"}}
                              << pdf << "03-15-2024-rechnung-mobilfunk-maerz.pdf";

    // Dates.
    QTest::newRow("no date") << absent << invoice << desc << M{} << pdf << "rechnung_mobilfunk_maerz.pdf";
    QTest::newRow("date style none") << date << invoice << desc << M{{"dateFormat", "Kein Datum"}} << pdf
                                     << "rechnung_mobilfunk_maerz.pdf";
    QTest::newRow("unparsed date passes") << QVariant("März 2024") << invoice << desc << M{} << pdf
                                          << "maerz_2024_rechnung_mobilfunk_maerz.pdf";

    // Category removal from the description.
    const M descOnly{{"format", "{beschreibung}"}};
    QTest::newRow("category word removed") << absent << QVariant("angebot") << "Website Angebot" << descOnly << pdf
                                           << "website.pdf";
    QTest::newRow("category inside a word kept") << absent << invoice << "Rechnungsnummer 12" << descOnly << pdf
                                                 << "rechnungsnummer_12.pdf";
    QTest::newRow("category metacharacters escaped") << absent << QVariant("a.b") << "axb Test" << descOnly << pdf
                                                     << "axb_test.pdf";
    QTest::newRow("lone backslash category") << absent << QVariant("\\") << "a \\ b"
                                             << M{{"format", "{beschreibung}"}, {"casing", "Wie von KI"}} << pdf << "a_b.pdf";
    QTest::newRow("empty category keeps untrimmed") << absent << QVariant("") << " x " << descOnly << pdf << "x.pdf";

    // Sanitising, collapsing, trimming.
    QTest::newRow("unknown token") << date << invoice << desc << M{{"format", "{foo}"}} << pdf << "foo.pdf";
    QTest::newRow("disallowed characters")
        << absent << absent << "A/B: C" << M{{"format", "{beschreibung}"}, {"separator", "-"}, {"casing", "Wie von KI"}}
        << pdf << "A-B-C.pdf";
    QTest::newRow("emoji is one separator") << absent << absent << "Urlaub 🏖 Foto" << descOnly << pdf
                                            << "urlaub_foto.pdf";
    QTest::newRow("mixed separator run stays") << absent << absent << "a-_b" << descOnly << pdf << "a-_b.pdf";
    QTest::newRow("marks and other scripts kept")
        << absent << absent << "Ελλάδα 東京 ١٢" << M{{"format", "{beschreibung}"}, {"casing", "Wie von KI"}} << pdf
        << "Ελλάδα_東京_١٢.pdf";

    // Length.
    QTest::newRow("cut then trimmed") << date << invoice << desc
                                      << M{{"format", "{datum}{sep}{kategorie}"}, {"maxLength", 11}} << pdf
                                      << "2024-03-15.pdf";
    QTest::newRow("exactly maxLength kept") << date << invoice << desc
                                            << M{{"format", "{datum}{sep}{kategorie}"}, {"maxLength", 19}} << pdf
                                            << "2024-03-15_rechnung.pdf";
    QTest::newRow("length counts clusters")
        << absent << absent << QString::fromUtf8("e\xcc\x81" "e\xcc\x81" "e\xcc\x81" "e\xcc\x81")
        << M{{"format", "{beschreibung}"}, {"maxLength", 3}} << pdf << QString::fromUtf8("e\xcc\x81" "e\xcc\x81" "e\xcc\x81.pdf");
    QTest::newRow("negative limit acts as 0") << date << invoice << desc << M{{"maxLength", -5}} << pdf
                                              << "unnamed.pdf";

    // Regex rules.
    QTest::newRow("default rule strips camera prefix")
        << absent << absent << "IMG_1234_Urlaub" << M{{"format", "{beschreibung}"}, {"casing", "Wie von KI"}} << pdf
        << "Urlaub.pdf";
    QTest::newRow("invalid rule skipped, next runs")
        << date << invoice << desc
        << M{{"regex", R"j([{"pattern":"(","replacement":"x"},{"pattern":"mobil(funk)","replacement":"$1"}])j"}} << pdf
        << "2024-03-15_rechnung_funk_maerz.pdf";
    QTest::newRow("disabled rule skipped")
        << date << invoice << desc << M{{"regex", R"j([{"pattern":"rechnung","replacement":"r","enabled":false}])j"}}
        << pdf << "2024-03-15_rechnung_mobilfunk_maerz.pdf";
    QTest::newRow("rule output not sanitised nor cut")
        << date << invoice << desc
        << M{{"maxLength", 32}, {"regex", R"j([{"pattern":"rechnung","replacement":"Rech/nung (alt)"}])j"}} << pdf
        << "2024-03-15_Rech/nung (alt)_mobilfunk_ma.pdf";
    QTest::newRow("rule output trimmed") << date << invoice << desc
                                         << M{{"regex", R"j([{"pattern":"maerz$","replacement":"__"}])j"}} << pdf
                                         << "2024-03-15_rechnung_mobilfunk.pdf";

    // Empty results, prefix and suffix, extensions.
    QTest::newRow("empty format") << date << invoice << desc << M{{"format", ""}} << pdf << "unnamed.pdf";
    QTest::newRow("format of separators") << date << invoice << desc << M{{"format", "{sep}/ {sep}"}} << pdf
                                          << "unnamed.pdf";
    QTest::newRow("prefix not cased") << date << invoice << desc << M{{"prefix", "ABC"}, {"suffix", "X"}} << pdf
                                      << "ABC_2024-03-15_rechnung_mobilfunk_maerz_X.pdf";
    QTest::newRow("prefix gets umlauts replaced") << date << invoice << desc << M{{"prefix", "Bücher"}} << pdf
                                                  << "Buecher_2024-03-15_rechnung_mobilfunk_maerz.pdf";
    QTest::newRow("decomposed umlaut") << absent << absent << QString::fromUtf8("Ma\xcc\x88rz") << descOnly << pdf
                                       << "maerz.pdf";
    QTest::newRow("sharp s upper-cased") << absent << absent << "Straße"
                                         << M{{"format", "{beschreibung}"}, {"casing", "GROSSBUCHSTABEN"}} << pdf
                                         << "STRASSE.pdf";
    QTest::newRow("upper-case extension kept") << date << invoice << desc << M{} << "PDF"
                                               << "2024-03-15_rechnung_mobilfunk_maerz.PDF";
    QTest::newRow("empty extension, no dot") << date << invoice << desc << M{} << ""
                                             << "2024-03-15_rechnung_mobilfunk_maerz";
}

void TestNameBuilder::buildFileName()
{
    QFETCH(QVariant, datum);
    QFETCH(QVariant, kategorie);
    QFETCH(QString, beschreibung);
    QFETCH(QVariantMap, rules);
    QFETCH(QString, extension);
    QFETCH(QString, expected);

    DefaultsStore store;
    RenameRules renameRules(store);
    applyOverrides(renameRules, rules);
    const AIExtraction extraction{optionalText(datum), optionalText(kategorie), beschreibung,
                                  QStringLiteral("Telekom"), QStringLiteral("49.99"), 0.9};
    QCOMPARE(NameBuilder::buildFileName(extraction, renameRules, extension), expected);
}

void TestNameBuilder::normalizeDocumentDate_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("iso") << "2024-03-15" << "2024-03-15";
    QTest::newRow("German, padded") << " 15.03.2024 " << "2024-03-15";
    QTest::newRow("tab and no-break space trimmed") << "\t2024-03-15\u00a0" << "2024-03-15";
    QTest::newRow("German inside text") << "Rechnung vom 15.03.2024" << "2024-03-15";
    QTest::newRow("slashes are month first") << "03/15/2024" << "2024-03-15";
    QTest::newRow("compact") << "20240315" << "2024-03-15";
    QTest::newRow("Arabic-Indic digits") << "١٥.٠٣.٢٠٢٤" << "٢٠٢٤-٠٣-١٥";
    QTest::newRow("month name passes") << "März 2024" << "März 2024";
    QTest::newRow("nine digits pass") << "202403151" << "202403151";
}

void TestNameBuilder::normalizeDocumentDate()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(NameBuilder::normalizeDocumentDate(input), expected);
}

void TestNameBuilder::formatDocumentDate_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("expected");
    QTest::newRow("compact") << "2024-03-15" << "YYYYMMDD" << "20240315";
    QTest::newRow("two pieces unchanged") << "2024-03" << "DD.MM.YYYY" << "2024-03";
    QTest::newRow("empty pieces dropped") << "-2024--03-15-" << "YYYY-MM-DD" << "2024-03-15";
    QTest::newRow("pieces not checked") << "a-b-c" << "DD.MM.YYYY" << "c.b.a";
}

void TestNameBuilder::formatDocumentDate()
{
    QFETCH(QString, input);
    QFETCH(QString, style);
    QFETCH(QString, expected);
    QCOMPARE(NameBuilder::formatDocumentDate(input, enumFromRaw<DateFormatStyle>(style).value()), expected);
}

void TestNameBuilder::casingAndUmlauts_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("casing"); // empty: replacingUmlauts
    QTest::addColumn<QString>("expected");
    QTest::newRow("title: only spaces split") << "2024-03-15_rechnung_Mobilfunk Maerz" << "Title Case"
                                              << "2024-03-15_rechnung_mobilfunk Maerz";
    QTest::newRow("title: runs of spaces shrink") << "  aPFEL   bIRNE " << "Title Case" << "Apfel Birne";
    QTest::newRow("title: first cluster with mark") << QString::fromUtf8("e\xcc\x81" "COLE") << "Title Case"
                                                    << QString::fromUtf8("E\xcc\x81" "cole");
    QTest::newRow("lower: full mapping") << "ÄRGER İ" << "kleinbuchstaben" << QString::fromUtf8("ärger i\xcc\x87");
    QTest::newRow("all seven") << "äöüÄÖÜß" << "" << "aeoeueAeOeUess";
    QTest::newRow("decomposed") << QString::fromUtf8("Gru\xcc\x88\xc3\x9f" "e") << "" << "Gruesse";
    QTest::newRow("other marks untouched") << QString::fromUtf8("e\xcc\x81") << "" << QString::fromUtf8("e\xcc\x81");
}

void TestNameBuilder::casingAndUmlauts()
{
    QFETCH(QString, input);
    QFETCH(QString, casing);
    QFETCH(QString, expected);
    if (casing.isEmpty())
        QCOMPARE(NameBuilder::replacingUmlauts(input), expected);
    else
        QCOMPARE(NameBuilder::applyCasing(input, enumFromRaw<CasingStyle>(casing).value()), expected);
}

QTEST_GUILESS_MAIN(TestNameBuilder)
#include "tst_namebuilder.moc"
