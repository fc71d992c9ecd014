#include "extraction/media/imageclassifier.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

using ImageClassifier::Hints;
using ImageClassifier::Label;

namespace {

QStringList labelsOf(const QImage &image, const Hints &hints)
{
    const QString joined = ImageClassifier::selectLabels(ImageClassifier::classify(image, hints));
    return joined.isEmpty() ? QStringList() : joined.split(", ");
}

// Blue sky over a meadow, with per-pixel noise as a camera would leave it.
QImage outdoorScene()
{
    QImage image(800, 500, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(random.bounded(40)) - 20;
            image.setPixel(
                x, y,
                y < 250 ? qRgb(qBound(0, 70 + n, 255), qBound(0, 130 + n + y / 5, 255),
                               qBound(0, 225 + n / 2, 255))
                        : qRgb(qBound(0, 60 + n, 255), qBound(0, 150 + n, 255), qBound(0, 50 + n, 255)));
        }
    }
    return image;
}

// A desktop with a window, a title bar, a sidebar and buttons: flat areas, few colours.
QImage desktop(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(40, 60, 90));
    QPainter painter(&image);
    painter.fillRect(200, 150, size.width() - 400, size.height() - 300, QColor(245, 245, 245));
    painter.fillRect(200, 150, size.width() - 400, 60, QColor(210, 210, 215));
    painter.fillRect(200, 210, 400, size.height() - 360, QColor(230, 232, 236));
    for (int i = 0; i < 8; ++i)
        painter.fillRect(700, 300 + i * 120, 900, 40, QColor(60, 60, 60));
    painter.fillRect(size.width() - 600, size.height() - 260, 180, 60, QColor(30, 110, 230));
    return image;
}

} // namespace

class TestImageClassifier final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectLabels_data();
    void selectLabels();
    void classify_data();
    void classify();
};

void TestImageClassifier::selectLabels_data()
{
    QTest::addColumn<QList<Label>>("labels");
    QTest::addColumn<QString>("expected");

    QTest::newRow("none") << QList<Label>{} << "";
    QTest::newRow("none above threshold") << QList<Label>{{"a", 0.3F}, {"b", 0.1F}, {"c", 0.0F}} << "";
    QTest::newRow("just above") << QList<Label>{{"a", 0.3F}, {"b", 0.30001F}} << "b";
    QTest::newRow("order kept, not sorted")
        << QList<Label>{{"low", 0.31F}, {"high", 0.99F}, {"mid", 0.5F}} << "low, high, mid";
    QTest::newRow("six above: first five")
        << QList<Label>{{"a", 0.9F}, {"b", 0.8F}, {"c", 0.7F}, {"d", 0.6F}, {"e", 0.5F}, {"f", 0.95F}}
        << "a, b, c, d, e";
    QTest::newRow("skipped labels do not count")
        << QList<Label>{{"a", 0.9F}, {"x", 0.2F}, {"b", 0.8F}, {"c", 0.7F},
                        {"y", 0.3F}, {"d", 0.6F}, {"e", 0.5F}, {"f", 0.4F}}
        << "a, b, c, d, e";
}

void TestImageClassifier::selectLabels()
{
    QFETCH(QList<Label>, labels);
    QFETCH(QString, expected);
    QCOMPARE(ImageClassifier::selectLabels(labels), expected);
}

void TestImageClassifier::classify_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<bool>("camera");
    QTest::addColumn<int>("letters");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    QImage grey(64, 64, QImage::Format_RGB32);
    grey.fill(QColor(128, 128, 128));
    QImage transparent(300, 300, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);

    QTest::newRow("uniform grey square") << grey << false << 0 << QStringList{} << QStringList{};
    QTest::newRow("transparent is a blank page, not a dark one")
        << transparent << false << 0 << QStringList{} << QStringList{};
    QTest::newRow("outdoor scene") << outdoorScene() << false << 12
                                   << QStringList{"photo", "sky", "vegetation", "outdoor", "landscape_format"}
                                   << QStringList{"document", "screenshot", "text", "dark"};
    QTest::newRow("screenshot") << desktop({2880, 1800}) << false << 0
                                << QStringList{"screenshot", "landscape_format"}
                                << QStringList{"photo", "sky"};
    QTest::newRow("same picture from a camera")
        << desktop({2880, 1800}) << true << 0 << QStringList{"photo"} << QStringList{"screenshot"};
    QImage night(640, 480, QImage::Format_RGB32);
    night.fill(QColor(12, 14, 20));
    QTest::newRow("night") << night << true << 0 << QStringList{"photo", "dark"} << QStringList{"document"};
}

void TestImageClassifier::classify()
{
    QFETCH(QImage, image);
    QFETCH(bool, camera);
    QFETCH(int, letters);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);

    Hints hints;
    hints.hasCameraExif = camera;
    hints.storedSize = image.size();
    hints.recognisedLetters = letters;
    const QStringList labels = labelsOf(image, hints);
    if (present.isEmpty() && absent.isEmpty())
        QVERIFY2(labels.isEmpty(), qPrintable(labels.join(", ")));
    for (const QString &label : present)
        QVERIFY2(labels.contains(label), qPrintable(label + " missing from " + labels.join(", ")));
    for (const QString &label : absent)
        QVERIFY2(!labels.contains(label), qPrintable(label + " unexpected in " + labels.join(", ")));

    // Deterministic: a copy of the same pixels gets the very same confidences.
    const QList<Label> first = ImageClassifier::classify(image, hints);
    const QList<Label> second = ImageClassifier::classify(image.copy(), hints);
    for (qsizetype i = 0; i < first.size(); ++i) {
        QVERIFY(first[i].confidence >= 0.0F && first[i].confidence <= 1.0F);
        QCOMPARE(first[i].confidence, second[i].confidence);
    }
}

QTEST_MAIN(TestImageClassifier)
#include "tst_imageclassifier.moc"
