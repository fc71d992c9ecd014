#include "naming/namediff.h"

#include <QTest>

namespace {

// "text/kind" per segment, kinds abbreviated u, a, r.
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

class TestNameDiff final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compute_data();
    void compute();
    void segmentsAreIdentifiableAndNonEmpty();
};

void TestNameDiff::compute_data()
{
    QTest::addColumn<QString>("oldName");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QString>("oldSide");
    QTest::addColumn<QString>("newSide");

    QTest::newRow("prefix added") << "rechnung.pdf" << "2024_rechnung.pdf" << "rechnung/u .pdf/u"
                                  << "2024_/a rechnung/u .pdf/u";
    QTest::newRow("case and separator") << "Scan 12.pdf" << "scan_12.pdf" << "S/r can/u  /r 12/u .pdf/u"
                                        << "s/a can/u _/a 12/u .pdf/u";
    QTest::newRow("tie moves in new") << "ab.pdf" << "ba.pdf" << "a/r b/u .pdf/u" << "b/u a/a .pdf/u";
    QTest::newRow("identical") << "brief.txt" << "brief.txt" << "brief/u .txt/u" << "brief/u .txt/u";
    QTest::newRow("nothing in common") << "abc.pdf" << "xyz.pdf" << "abc/r .pdf/u" << "xyz/a .pdf/u";
    QTest::newRow("new without extension") << "a.pdf" << "ab" << "a/u" << "a/u b/a";
    QTest::newRow("old extension not used") << "scan.PDF" << "brief.pdf" << "scan/r .pdf/u" << "brief/a .pdf/u";
    QTest::newRow("empty old base") << "" << "neu.pdf" << ".pdf/u" << "neu/a .pdf/u";
    QTest::newRow("leading dot is no extension") << ".profile" << "profile.txt" << "./r profile/u .txt/u"
                                                 << "profile/u .txt/u";
    QTest::newRow("canonical equivalence") << QString::fromUtf8("M\xc3\xa4rz.pdf") << QString::fromUtf8("Ma\xcc\x88rz.pdf")
                                           << QString::fromUtf8("M\xc3\xa4rz/u .pdf/u")
                                           << QString::fromUtf8("Ma\xcc\x88rz/u .pdf/u");
    QTest::newRow("clusters are characters") << QString::fromUtf8("x\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd.txt") << "x.txt"
                                             << QString::fromUtf8("x/u \xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd/r .txt/u")
                                             << "x/u .txt/u";
}

void TestNameDiff::compute()
{
    QFETCH(QString, oldName);
    QFETCH(QString, newName);
    QFETCH(QString, oldSide);
    QFETCH(QString, newSide);
    const NameDiff::Sides sides = NameDiff::compute(oldName, newName);
    QCOMPARE(describe(sides.oldSide), oldSide);
    QCOMPARE(describe(sides.newSide), newSide);
}

void TestNameDiff::segmentsAreIdentifiableAndNonEmpty()
{
    const NameDiff::Sides sides = NameDiff::compute("Scan 2024 (1).pdf", "2024_scan.pdf");
    QSet<QUuid> ids;
    for (const auto *side : {&sides.oldSide, &sides.newSide}) {
        for (qsizetype i = 0; i < side->size(); ++i) {
            QVERIFY(!side->at(i).text.isEmpty());
            ids.insert(side->at(i).id);
            if (i > 0 && i + 1 < side->size()) // the appended extension may repeat `unchanged`
                QVERIFY(side->at(i).kind != side->at(i - 1).kind);
        }
    }
    QCOMPARE(ids.size(), sides.oldSide.size() + sides.newSide.size());
}

QTEST_APPLESS_MAIN(TestNameDiff)
#include "tst_namediff.moc"
