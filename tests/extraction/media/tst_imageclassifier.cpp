#include "extraction/media/imageclassifier.h"

#include <QTest>

using ImageClassifier::Label;

class TestImageClassifier final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectLabels_data()
    {
        QTest::addColumn<QList<Label>>("labels");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none above 0.3") << QList<Label>{{"a", 0.3F}, {"b", 0.1F}, {"c", 0.0F}} << "";
        QTest::newRow("just above, order kept")
            << QList<Label>{{"low", 0.30001F}, {"high", 0.99F}, {"x", 0.3F}, {"mid", 0.5F}} << "low, high, mid";
        QTest::newRow("more than five: first five, skipped labels do not count")
            << QList<Label>{{"a", 0.9F}, {"x", 0.2F}, {"b", 0.8F}, {"c", 0.7F}, {"d", 0.6F}, {"e", 0.5F}, {"f", 0.95F}}
            << "a, b, c, d, e";
    }

    void selectLabels()
    {
        QFETCH(QList<Label>, labels);
        QTEST(ImageClassifier::selectLabels(labels), "expected");
    }
};

QTEST_GUILESS_MAIN(TestImageClassifier)
#include "tst_imageclassifier.moc"
