// The privacy filter over a labelled corpus (corpus.json, written by make_corpus.py): every planted
// identifier masked as its kind, and no date, amount, reference number, postal code or company name.
#include "privacy/privacyfilter.h"

#include <QtTest>

class TestPrivacy : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void corpus();
    void phoneForms_data();
    void phoneForms();
    void fileNames_data();
    void fileNames();
};

void TestPrivacy::corpus()
{
    using Privacy::Kind;
    const QHash<QString, Kind> kinds{{"iban", Kind::Iban},   {"card", Kind::CardNumber},
                                     {"taxId", Kind::TaxId}, {"socialInsurance", Kind::SocialInsurance},
                                     {"email", Kind::Email}, {"phone", Kind::Phone},
                                     {"name", Kind::Name},   {"address", Kind::Address}};
    QFile file(QFINDTESTDATA("corpus.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray corpus = QJsonDocument::fromJson(file.readAll()).array();
    QMap<QString, std::pair<int, int>> figures; // kind → (masked, planted)
    QStringList wrong;
    for (const QJsonValue &doc : corpus) {
        const QString text = doc["text"].toString();
        const Privacy::MaskResult result =
            Privacy::mask(text, {.ownDetails = doc["ownDetails"].toVariant().toStringList()});
        // The spans lead back to the original: their offsets hold in both texts.
        QString restored = result.text;
        for (auto span = result.spans.crbegin(); span != result.spans.crend(); ++span) {
            QCOMPARE(restored.mid(span->maskedStart, span->placeholder.size()), span->placeholder);
            restored.replace(span->maskedStart, span->placeholder.size(), text.mid(span->start, span->length));
        }
        QCOMPARE(restored, text);
        for (const QString list : {"marks", "keep"}) {
            for (const QJsonValue &item : doc[list].toArray()) {
                const QString kind = item["kind"].toString(), planted = item["text"].toString();
                const qsizetype at = item["at"].toInteger(), end = at + planted.size();
                QCOMPARE(text.mid(at, planted.size()), planted);
                const bool masked = std::ranges::any_of(result.spans, [&](const Privacy::MaskedSpan &s) {
                    return list == "marks" ? s.kind == kinds.value(kind) && s.start <= at && s.start + s.length >= end
                                           : s.start < end && at < s.start + s.length;
                });
                auto &[count, total] = figures[kind];
                count += masked;
                ++total;
                if (masked != (list == "marks"))
                    wrong << doc["id"].toString() + ": " + kind + " " + planted;
            }
        }
    }
    int masked = 0, planted = 0, touched = 0;
    for (auto [kind, figure] : figures.asKeyValueRange()) {
        qInfo("%-16s %4d of %4d masked", qPrintable(kind), figure.first, figure.second);
        (kinds.contains(kind) ? masked : touched) += figure.first;
        planted += kinds.contains(kind) ? figure.second : 0;
    }
    qInfo("identifiers: %d of %d masked (%.1f %%); dates, amounts and other numbers masked: %d", masked, planted,
          100.0 * masked / planted, touched);
    if (!wrong.isEmpty())
        qInfo("not as labelled:\n%s", qPrintable(wrong.join(u'\n')));
    QVERIFY(planted >= 300 && masked >= 0.99 * planted);
    QCOMPARE(touched, 0);
}

// How phone numbers are written: with a trunk "(0)", the area code in parentheses or set apart
// by a slash; and what only looks like one.
void TestPrivacy::phoneForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("masked");
    const auto row = [](const char *text, const char *masked) {
        QTest::newRow(text) << QString(text) << QString(masked);
    };
    row("+49(0)30-1234567", "[Telefon]");
    row("Tel.: 0049 (0)30 1234567", "Tel.: [Telefon]");
    row("+49 (30) 1234567", "[Telefon]");
    row("+49 30/1234567", "[Telefon]");
    row("030/1234567 (Zentrale)", "[Telefon] (Zentrale)");
    row("(030) 1234567", "[Telefon]");
    row("mobil:+49 (0)171 1234567", "mobil:[Telefon]");
    row("description: Rückruf +49 (0)30 1234567, 030/7654321", "description: Rückruf [Telefon], [Telefon]");
    row("(+49) 30 1234567", "[Telefon]");
    row("+49 (0) 30 / 123 45 67", "[Telefon]");
    row("Tel.(030)1234567", "Tel.[Telefon]");
    row("030 / 123 45 67", "[Telefon]");
    row("Angebot 0815/2024 vom 12.03.2024", "Angebot 0815/2024 vom 12.03.2024");
    row("Kundennummer 030/1234567", "Kundennummer 030/1234567");
    row("Summe (netto) 1.234,56 EUR", "Summe (netto) 1.234,56 EUR");
    row("Az. 12 O 345/23", "Az. 12 O 345/23");
}

void TestPrivacy::phoneForms()
{
    QFETCH(QString, text);
    QTEST(Privacy::mask(text).text, "masked");
}

// A file name writes its spaces as underscores.
void TestPrivacy::fileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("masked");
    QTest::newRow("own name and IBAN") << "Erika_Mustermann_DE89370400440532013000.txt"
                                       << "[Name]_[IBAN].txt";
    QTest::newRow("phone") << "Rueckruf_030_1234567.pdf"
                           << "Rueckruf_[Telefon].pdf";
    QTest::newRow("dates and numbers stay") << "IMG_20240115_123456.jpg"
                                            << "IMG_20240115_123456.jpg";
    QTest::newRow("scan") << "Scan_2024_03_15_0001.pdf"
                          << "Scan_2024_03_15_0001.pdf";
}

void TestPrivacy::fileNames()
{
    QFETCH(QString, name);
    const Privacy::MaskResult result = Privacy::maskFileName(name, {.ownDetails = {"Erika Mustermann"}});
    QTEST(result.text, "masked");
    for (const Privacy::MaskedSpan &span : result.spans)
        QCOMPARE(result.text.mid(span.maskedStart, span.placeholder.size()), span.placeholder);
}

QTEST_APPLESS_MAIN(TestPrivacy)
#include "tst_privacy.moc"
