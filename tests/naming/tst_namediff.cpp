#include "naming/namediff.h"

#include <QTest>

namespace {

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

class TestNameDiff final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compute_data()
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
        row("case and separator", "Scan 12.pdf", "scan_12.pdf", "S/r can/u  /r 12/u .pdf/u",
            "s/a can/u _/a 12/u .pdf/u");
        row("tie moves in new", "ab.pdf", "ba.pdf", "a/r b/u .pdf/u", "b/u a/a .pdf/u");
        row("identical", "brief.txt", "brief.txt", "brief/u .txt/u", "brief/u .txt/u");
        row("nothing in common", "abc.pdf", "xyz.pdf", "abc/r .pdf/u", "xyz/a .pdf/u");
        row("new without extension", "a.pdf", "ab", "a/u", "a/u b/a");
        row("old extension not used", "scan.PDF", "brief.pdf", "scan/r .pdf/u", "brief/a .pdf/u");
        row("empty old base", "", "neu.pdf", ".pdf/u", "neu/a .pdf/u");
        row("longer common part wins", "Scan 2024 (1).pdf", "2024_scan.pdf", "Scan /r 2024/u  (1)/r .pdf/u",
            "2024/u _scan/a .pdf/u");
        row("leading dot is no extension", ".profile", "profile.txt", "./r profile/u .txt/u", "profile/u .txt/u");
        const QString composed = QString::fromUtf8("M\xc3\xa4rz"), decomposed = QString::fromUtf8("Ma\xcc\x88rz");
        row("canonical equivalence", composed + ".pdf", decomposed + ".pdf", composed + "/u .pdf/u",
            decomposed + "/u .pdf/u");
        const QString thumb = QString::fromUtf8("\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd"); // with a skin tone
        row("clusters are characters", "x" + thumb + ".txt", "x.txt", "x/u " + thumb + "/r .txt/u", "x/u .txt/u");
    }

    void compute()
    {
        QFETCH(QString, oldName);
        QFETCH(QString, newName);
        const NameDiff::Sides sides = NameDiff::compute(oldName, newName);
        QTEST(describe(sides.oldSide), "oldSide");
        QTEST(describe(sides.newSide), "newSide");
    }
};

QTEST_APPLESS_MAIN(TestNameDiff)
#include "tst_namediff.moc"
