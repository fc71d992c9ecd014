#include "ui/preview/previewcontent.h"
#include "ui/preview/previewwindow.h"
#include "windowfixture.h"

class TestPreview final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> w;

private Q_SLOTS:
    void init() { w = std::make_unique<WindowFixture>(); }
    void cleanup() { w.reset(); }

    void content_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QSize>("imageSize"); // of an image preview: the upright shape matters
        QTest::newRow("text") << "notiz.txt" << int(PreviewContent::Kind::text) << QSize();
        QTest::newRow("photo turned by EXIF") << "foto.jpg" << int(PreviewContent::Kind::image) << QSize(20, 40);
        QTest::newRow("pdf first page") << "brief.pdf" << int(PreviewContent::Kind::image) << QSize();
        QTest::newRow("other") << "daten.bin" << int(PreviewContent::Kind::info) << QSize();
        QTest::newRow("missing") << "weg.txt" << int(PreviewContent::Kind::missing) << QSize();
    }

    void content()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QSize, imageSize);
        const QString path = w->dir.filePath(name);
        if (name == "notiz.txt") {
            w->touch(name, QByteArray(100 * 1024, 'a'));
        } else if (name == "foto.jpg") {
            QImage landscape(40, 20, QImage::Format_RGB32);
            landscape.fill(Qt::red);
            QImageWriter writer(path, "jpeg");
            writer.setTransformation(QImageIOHandler::TransformationRotate90); // EXIF orientation 6
            QVERIFY(writer.write(landscape));
        } else if (name == "brief.pdf") {
            QPdfWriter writer(path);
            QPainter painter(&writer);
            painter.drawText(100, 100, "Sehr geehrte Damen und Herren");
        } else if (name == "daten.bin") {
            w->touch(name, QByteArray("\x00\x01\x02\xff", 4));
        }
        const PreviewContent content = renderPreview(path, QSize(600, 700));
        QCOMPARE(int(content.kind), kind);
        QCOMPARE(content.name, name);
        if (imageSize.isValid())
            QCOMPARE(content.image.size(), imageSize);
        if (content.kind == PreviewContent::Kind::text)
            QCOMPARE(content.text.size(), PreviewContent::TextLimitBytes);
        if (content.kind == PreviewContent::Kind::image)
            QVERIFY(!content.image.isNull());
        if (content.kind == PreviewContent::Kind::info)
            QCOMPARE(content.size, 4);
    }

    void keysFollowTheList()
    {
        w->engine->setJobs({w->job("a.txt", "A.txt"), w->job("b.txt", "B.txt")});
        QListView *list = w->list();
        list->setFocus();
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::keyClick(list, Qt::Key_Space);
        PreviewWindow *preview = w->review()->preview();
        QVERIFY(preview && preview->isVisible());
        QCOMPARE(preview->file().fileName(), "a.txt");
        QTest::keyClick(preview, Qt::Key_Down);
        QCOMPARE(preview->file().fileName(), "b.txt");
        QTest::keyClick(preview, Qt::Key_Down); // stays on the last job
        QCOMPARE(preview->file().fileName(), "b.txt");
        QTest::keyClick(preview, Qt::Key_Up);
        QCOMPARE(preview->file().fileName(), "a.txt");
        QTRY_VERIFY(preview->isReady());
        QTest::keyClick(preview, Qt::Key_Escape);
        QTRY_VERIFY(!w->review()->preview());
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
