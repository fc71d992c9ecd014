// The privacy filter over a labelled corpus (corpus.json, written by make_corpus.py): every planted
// identifier masked as its kind, and no date, amount, reference number, postal code or company name.
#include "privacy/privacyfilter.h"

#include <QtTest>

class TestPrivacy : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void corpus();
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
    QVERIFY(corpus.size() >= 60);
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

QTEST_APPLESS_MAIN(TestPrivacy)
#include "tst_privacy.moc"
