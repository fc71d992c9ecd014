// The template editor over a real store, which the REST API changes too.
#include "ui/templates/templateeditorview.h"
#include "windowfixture.h"

class TestTemplateEditor final : public QObject
{
    Q_OBJECT

    struct Fixture {
        QTemporaryDir dir;
        std::unique_ptr<ObjectStore> store = std::move(*ObjectStore::open(dir.filePath("t.sqlite")));
        TemplateEditorView view{store.get()};

        template <typename T> T *field(const QString &name) { return named<T>(&view, name); }
        QList<NamingTemplate> stored() const { return store->fetchTemplates().value_or(QList<NamingTemplate>()); }
    };
    std::unique_ptr<Fixture> f;

private Q_SLOTS:
    void init() { f = std::make_unique<Fixture>(); }
    void cleanup() { f.reset(); }

    void addEditAndDelete()
    {
        QVERIFY(f->store->insert(NamingTemplate{0, "Belege", "{name}", {}, true, QDateTime::currentDateTimeUtc()}));
        QVERIFY(f->view.showsPlaceholder());
        auto *remove = f->field<QToolButton>("Vorlage löschen");
        QVERIFY(!remove->isEnabled()); // nothing selected
        auto *add = f->field<QToolButton>("Vorlage hinzufügen");
        QTest::mouseClick(add, Qt::LeftButton);
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(f->stored().size(), 3);
        QCOMPARE(f->view.list()->count(), 3);
        QCOMPARE(f->view.list()->currentRow(), 2); // the newest, selected
        QVERIFY(!f->view.showsPlaceholder());

        // Every keystroke is stored; the toggle makes this one the default, as the REST API does.
        auto *name = f->field<QLineEdit>("Name");
        QCOMPARE(name->text(), "Neue Vorlage");
        name->selectAll();
        QTest::keyClicks(name, "Rechnungen");
        QTest::keyClicks(f->field<QLineEdit>("Muster"), "-{betrag}");
        f->field<QCheckBox>("Standard-Vorlage")->click();
        const NamingTemplate edited = f->stored().at(2);
        QCOMPARE(edited.name, "Rechnungen");
        QCOMPARE(edited.pattern, "{datum}-{vorschlag}-{betrag}"); // unknown tokens kept
        QVERIFY(edited.isDefault);
        QVERIFY(!f->stored().at(0).isDefault);
        QCOMPARE(f->view.list()->item(2)->text(), "Rechnungen");
        QCOMPARE(name->text(), "Rechnungen");

        QTest::mouseClick(remove, Qt::LeftButton); // the selected one only
        QCOMPARE(f->stored().size(), 2);
        QCOMPARE(f->stored().at(1).name, "Neue Vorlage");
        QVERIFY(f->view.showsPlaceholder());
        QVERIFY(!remove->isEnabled());
    }

    void followsTheStore()
    {
        NamingTemplate value{0, "Fotos", "{camera_model}", {}, false, QDateTime::currentDateTimeUtc()};
        value.id = f->store->insert(value).value_or(0);
        QCOMPARE(f->view.list()->count(), 1); // at once, no event loop turn needed
        f->view.list()->setCurrentRow(0);
        QCOMPARE(f->field<QLineEdit>("Muster")->text(), "{camera_model}");

        value.name = "Urlaub";
        QVERIFY(f->store->save(value));
        QCOMPARE(f->field<QLineEdit>("Name")->text(), "Urlaub");

        QVERIFY(f->store->removeTemplate(value.id));
        QCOMPARE(f->view.list()->count(), 0);
        QVERIFY(f->view.showsPlaceholder());
    }
};

QTEST_MAIN(TestTemplateEditor)
#include "tst_templateeditor.moc"
