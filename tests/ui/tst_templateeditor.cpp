// The template editor over a real store: add and delete, writing through, the default toggle
// touching one record only, and following changes made elsewhere (the REST API).
#include "store/objectstore.h"
#include "ui/templates/templateeditorview.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

class TestTemplateEditor final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void addTwiceAndEdit();
    void deleteSelectedShowsPlaceholder();
    void followsTheStore();

private:
    template <typename T> T *named(const QString &name) const
    {
        for (T *candidate : m_view->findChildren<T *>()) {
            if (candidate->accessibleName() == name || candidate->text() == name)
                return candidate;
        }
        return nullptr;
    }
    QList<NamingTemplate> stored() const { return m_store->fetchTemplates().value_or(QList<NamingTemplate>()); }

    QTemporaryDir m_dir;
    std::unique_ptr<ObjectStore> m_store;
    std::unique_ptr<TemplateEditorView> m_view;
    int m_run = 0;
};

void TestTemplateEditor::init()
{
    m_store = std::move(*ObjectStore::open(m_dir.filePath(QStringLiteral("t%1.sqlite").arg(++m_run))));
    m_view = std::make_unique<TemplateEditorView>(m_store.get());
    m_view->show();
}

void TestTemplateEditor::cleanup()
{
    m_view.reset();
    m_store.reset();
}

void TestTemplateEditor::addTwiceAndEdit()
{
    NamingTemplate other{0, QStringLiteral("Belege"), QStringLiteral("{name}"), {}, true, QDateTime::currentDateTimeUtc()};
    QVERIFY(m_store->insert(other));
    QVERIFY(m_view->showsPlaceholder());
    auto *add = named<QToolButton>(QStringLiteral("Vorlage hinzufügen"));
    QTest::mouseClick(add, Qt::LeftButton);
    QTest::mouseClick(add, Qt::LeftButton);
    const QList<NamingTemplate> templates = stored();
    QCOMPARE(templates.size(), 3);
    for (const NamingTemplate &added : templates.sliced(1)) {
        QCOMPARE(added.name, QStringLiteral("Neue Vorlage"));
        QCOMPARE(added.pattern, QStringLiteral("{datum}-{vorschlag}"));
        QVERIFY(added.example.isEmpty() && !added.isDefault);
    }
    QCOMPARE(m_view->list()->count(), 3);
    QCOMPARE(m_view->list()->currentRow(), 2); // the newest, selected
    QVERIFY(!m_view->showsPlaceholder());

    // Every keystroke is stored; the toggle sets this record only, the old default stays.
    auto *name = named<QLineEdit>(QStringLiteral("Name"));
    QCOMPARE(name->text(), QStringLiteral("Neue Vorlage"));
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Rechnungen"));
    QTest::keyClicks(named<QLineEdit>(QStringLiteral("Muster")), QStringLiteral("-{betrag}"));
    named<QCheckBox>(QStringLiteral("Standard-Vorlage"))->click();
    const NamingTemplate edited = stored().at(2);
    QCOMPARE(edited.name, QStringLiteral("Rechnungen"));
    QCOMPARE(edited.pattern, QStringLiteral("{datum}-{vorschlag}-{betrag}")); // unknown tokens kept
    QVERIFY(edited.isDefault);
    QVERIFY(stored().at(0).isDefault);
    QCOMPARE(m_view->list()->item(2)->text(), QStringLiteral("Rechnungen"));
    QCOMPARE(name->text(), QStringLiteral("Rechnungen"));
}

void TestTemplateEditor::deleteSelectedShowsPlaceholder()
{
    auto *remove = named<QToolButton>(QStringLiteral("Vorlage löschen"));
    QVERIFY(!remove->isEnabled());
    QTest::mouseClick(named<QToolButton>(QStringLiteral("Vorlage hinzufügen")), Qt::LeftButton);
    QVERIFY(remove->isEnabled());
    QTest::mouseClick(remove, Qt::LeftButton);
    QVERIFY(stored().isEmpty());
    QVERIFY(m_view->showsPlaceholder());
    QVERIFY(!remove->isEnabled());
}

void TestTemplateEditor::followsTheStore()
{
    NamingTemplate value{0, QStringLiteral("Fotos"), QStringLiteral("{camera_model}"), {}, false,
                         QDateTime::currentDateTimeUtc()};
    const qint64 id = m_store->insert(value).value_or(0);
    QCOMPARE(m_view->list()->count(), 1); // at once, no event loop turn needed
    m_view->list()->setCurrentRow(0);
    QCOMPARE(named<QLineEdit>(QStringLiteral("Muster"))->text(), QStringLiteral("{camera_model}"));

    value.id = id;
    value.name = QStringLiteral("Urlaub");
    QVERIFY(m_store->save(value));
    QCOMPARE(named<QLineEdit>(QStringLiteral("Name"))->text(), QStringLiteral("Urlaub"));

    QVERIFY(m_store->removeTemplate(id));
    QCOMPARE(m_view->list()->count(), 0);
    QVERIFY(m_view->showsPlaceholder());
}

QTEST_MAIN(TestTemplateEditor)
#include "tst_templateeditor.moc"
