#include "store/objectstore.h"

#include <QDir>
#include <QDirIterator>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

using State = RenameRecord::State;

const QDateTime Moment = QDateTime::fromMSecsSinceEpoch(1710498896123, Qt::UTC);

std::unique_ptr<ObjectStore> openStore(const QString &path)
{
    auto store = ObjectStore::open(path);
    if (!store) {
        qWarning("%s", qPrintable(store.error().message));
        return {};
    }
    return std::move(*store);
}

QString when(const QDateTime &moment)
{
    if (!moment.isValid())
        return "invalid";
    return moment.toUTC().toString(Qt::ISODateWithMs);
}

QString when(const std::optional<QDateTime> &moment)
{
    return moment ? when(*moment) : "absent";
}

// Field lists, so a failed comparison names the field that differs.
QStringList fields(const RenameRecord &r)
{
    return {QString::number(r.id),
            r.originalPath,
            r.newPath,
            r.originalName,
            r.newName,
            when(r.timestamp),
            r.providerUsed,
            QString::number(r.confidence, 'g', 17),
            r.reverted ? "reverted" : "not reverted",
            when(r.revertedAt),
            r.state == State::done ? "done" : "pending"};
}

QStringList fields(const NamingTemplate &t)
{
    return {QString::number(t.id), t.name, t.pattern, t.example, t.isDefault ? "default" : "-", when(t.createdAt)};
}

QStringList fields(const WatchedFolder &f)
{
    return {QString::number(f.id),
            f.path,
            f.isActive ? "active" : "inactive",
            f.autoRename ? "auto" : "review",
            f.templateName ? "template " + *f.templateName : "no template",
            when(f.addedAt)};
}

// One member of each fetched object, in fetch order.
template <typename T, typename V> QList<V> column(const std::expected<QList<T>, StoreError> &fetched, V T::*member)
{
    QList<V> values;
    for (const T &value : fetched.value())
        values << value.*member;
    return values;
}

RenameRecord record(const QString &from, const QString &to, const QDateTime &timestamp)
{
    RenameRecord r;
    r.originalPath = from;
    r.newPath = to;
    r.originalName = QFileInfo(from).fileName();
    r.newName = QFileInfo(to).fileName();
    r.timestamp = timestamp;
    r.providerUsed = "Claude";
    r.confidence = 0.85;
    return r;
}

QVariant rawValue(const QString &path, const QString &sql)
{
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql) && query.next())
                value = query.value(0);
        }
    }
    QSqlDatabase::removeDatabase("raw");
    return value;
}

void rawExec(const QString &path, const QStringList &statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        for (const QString &sql : statements) {
            QSqlQuery query(db);
            QVERIFY2(query.exec(sql), qPrintable(sql));
        }
    }
    QSqlDatabase::removeDatabase("raw");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Every entry below `root` with its content, to prove that a refused open wrote nothing.
QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        entries.insert(path, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<folder>"));
    }
    return entries;
}

} // namespace

class TestObjectStore final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyFieldSurvivesReopen();
    void newFileGetsCurrentSchema_data();
    void newFileGetsCurrentSchema();
    void fetchesKeepTheirOrder();
    void changedSignalsOnlySuccessfulWrites();
    void unknownIdsAreRefused();
    void pendingRecordIsNotHistory();
    void settlingAfterCrash();
    void unusableFileIsRefusedAndUntouched_data();
    void unusableFileIsRefusedAndUntouched();

private:
    QTemporaryDir m_dir;
};

void TestObjectStore::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestObjectStore::everyFieldSurvivesReopen()
{
    const QString file = m_dir.filePath("roundtrip.sqlite");

    RenameRecord full = record("/home/jörg/Überweisung März.pdf", "/home/jörg/2024-03-15 Überweisung – 日本.pdf",
                               QDateTime(QDate(2024, 3, 15), QTime(12, 34, 56, 789), Qt::OffsetFromUTC, 3600));
    full.providerUsed = "Ollama";
    full.confidence = 0.1234567890123;
    full.reverted = true;
    full.revertedAt = Moment;
    RenameRecord bare; // empty strings, no dates, NaN confidence (SQLite turns NaN into NULL)
    bare.confidence = std::nan("");

    NamingTemplate pattern{0, "Rechnung 🧾", "{datum}-{betrag}", "2024-03-15-Rechnung.pdf", true, Moment};
    NamingTemplate blank;
    WatchedFolder watched{0, "/srv/Eingang/Ärzte/", false, true, "Rechnung 🧾", Moment.addDays(-3)};
    WatchedFolder emptyTemplate{0, "/tmp/in", true, false, QString(""), Moment};
    WatchedFolder noTemplate{0, "/tmp/in", true, false, std::nullopt, Moment};

    {
        auto store = openStore(file);
        QVERIFY(store);
        for (auto *r : {&full, &bare}) {
            const auto id = store->insert(*r);
            QVERIFY(id && *id > 0);
            r->id = *id;
        }
        for (auto *t : {&pattern, &blank})
            t->id = store->insert(*t).value();
        for (auto *f : {&watched, &emptyTemplate, &noTemplate})
            f->id = store->insert(*f).value();

        // save writes every field over the stored one
        full.reverted = false;
        full.revertedAt.reset();
        full.newPath = "/home/jörg/zurück.pdf";
        QVERIFY(store->save(full));
        pattern.isDefault = false;
        pattern.example.clear();
        QVERIFY(store->save(pattern));
        watched.templateName.reset();
        watched.isActive = true;
        QVERIFY(store->save(watched));
    }

    auto store = openStore(file);
    QVERIFY(store);
    QCOMPARE(fields(store->fetchRecord(full.id).value()), fields(full));
    QCOMPARE(fields(store->fetchRecord(bare.id).value()), fields(bare));
    QCOMPARE(fields(store->fetchTemplate(pattern.id).value()), fields(pattern));
    QCOMPARE(fields(store->fetchTemplate(blank.id).value()), fields(blank));
    QCOMPARE(fields(store->fetchFolder(watched.id).value()), fields(watched));
    QCOMPARE(fields(store->fetchFolder(emptyTemplate.id).value()), fields(emptyTemplate));
    QCOMPARE(fields(store->fetchFolder(noTemplate.id).value()), fields(noTemplate));
    QCOMPARE(store->fetchRecord(full.id)->timestamp.timeSpec(), Qt::UTC); // given with an offset
    QCOMPARE(store->fetchRecords()->size(), 2);
    QCOMPARE(store->fetchTemplates()->size(), 2);
    QCOMPARE(store->fetchFolders()->size(), 3);
}

void TestObjectStore::newFileGetsCurrentSchema_data()
{
    QTest::addColumn<bool>("emptyFileExists");
    QTest::newRow("no file, no folder") << false;
    QTest::newRow("empty file") << true;
}

void TestObjectStore::newFileGetsCurrentSchema()
{
    QFETCH(bool, emptyFileExists);
    QTemporaryDir dir;
    const QString path = dir.filePath("a/b/namorix.sqlite");
    if (emptyFileExists) {
        QVERIFY(QDir().mkpath(dir.filePath("a/b")));
        writeFile(path, {});
    }
    {
        auto store = openStore(path);
        QVERIFY(store);
        QVERIFY(store->insert(NamingTemplate{0, "a", "b", "c", false, Moment}));
    }
    QCOMPARE(rawValue(path, "PRAGMA user_version").toInt(), ObjectStore::SchemaVersion);
    QCOMPARE(rawValue(path, "PRAGMA journal_mode").toString(), QString("wal"));

    // Opening an up-to-date file again neither fails nor re-creates anything.
    auto store = openStore(path);
    QVERIFY(store);
    QCOMPARE(store->fetchTemplates()->size(), 1);
}

void TestObjectStore::fetchesKeepTheirOrder()
{
    auto store = openStore(m_dir.filePath("order.sqlite"));
    QVERIFY(store);

    // Records: newest first, equal timestamps by insertion (later first), no timestamp last.
    const qint64 middle = store->insert(record("/m", "/m2", Moment)).value();
    const qint64 oldest = store->insert(record("/o", "/o2", Moment.addSecs(-60))).value();
    const qint64 newest = store->insert(record("/n", "/n2", Moment.addMSecs(1))).value();
    const qint64 tie = store->insert(record("/t", "/t2", Moment)).value();
    const qint64 undated = store->insert(record("/u", "/u2", QDateTime())).value();
    QCOMPARE(column(store->fetchRecords(), &RenameRecord::id), (QList<qint64>{newest, tie, middle, oldest, undated}));

    // Templates and folders: oldest first, regardless of insertion order.
    for (int days : {2, 0, 1})
        QVERIFY(store->insert(NamingTemplate{0, QString::number(days), "", "", false, Moment.addDays(days)}));
    QCOMPARE(column(store->fetchTemplates(), &NamingTemplate::name), (QStringList{"0", "1", "2"}));

    for (int days : {1, 2, 0})
        QVERIFY(store->insert(WatchedFolder{0, "/f" + QString::number(days), true, false, {}, Moment.addDays(days)}));
    QCOMPARE(column(store->fetchFolders(), &WatchedFolder::path), (QStringList{"/f0", "/f1", "/f2"}));
}

void TestObjectStore::changedSignalsOnlySuccessfulWrites()
{
    auto store = openStore(m_dir.filePath("signals.sqlite"));
    QVERIFY(store);
    QSignalSpy spy(store.get(), &ObjectStore::changed);
    const auto kinds = [&spy] {
        QList<ObjectStore::Kind> result;
        for (const QList<QVariant> &arguments : std::as_const(spy))
            result << arguments.first().value<ObjectStore::Kind>();
        spy.clear();
        return result;
    };
    using K = ObjectStore::Kind;

    NamingTemplate t{0, "n", "p", "", false, Moment};
    t.id = store->insert(t).value();
    QVERIFY(store->save(t));
    QVERIFY(store->removeTemplate(t.id));
    QCOMPARE(kinds(), (QList<K>{K::templates, K::templates, K::templates}));

    WatchedFolder f{0, "/x", true, false, {}, Moment};
    f.id = store->insert(f).value();
    QVERIFY(store->save(f));
    QVERIFY(store->removeFolder(f.id));
    QCOMPARE(kinds(), (QList<K>{K::folders, K::folders, K::folders}));

    RenameRecord r = record("/a", "/b", Moment);
    r.id = store->insert(r).value();
    QVERIFY(store->save(r));
    QVERIFY(store->removeRecord(r.id));
    QVERIFY(store->removeAllRecords());
    QCOMPARE(kinds(), (QList<K>{K::records, K::records, K::records, K::records}));

    // Failed writes and invisible pending records change nothing a view shows.
    QVERIFY(!store->save(t));
    QVERIFY(!store->removeFolder(f.id));
    const qint64 pending = store->insertPending(r).value();
    QCOMPARE(kinds(), QList<K>{});
    QVERIFY(store->confirm(pending));
    QVERIFY(store->confirm(pending)); // already done: nothing to announce
    QCOMPARE(kinds(), QList<K>{K::records});
}

void TestObjectStore::unknownIdsAreRefused()
{
    auto store = openStore(m_dir.filePath("ids.sqlite"));
    QVERIFY(store);
    NamingTemplate first{0, "erste", "", "", false, Moment};
    first.id = store->insert(first).value();
    QVERIFY(store->removeTemplate(first.id));

    // A removed object's id is never handed out again, so a stale copy cannot hit a new object.
    NamingTemplate second{0, "zweite", "", "", false, Moment};
    second.id = store->insert(second).value();
    QVERIFY(second.id > first.id);

    const auto saved = store->save(first);
    QVERIFY(!saved);
    QCOMPARE(saved.error().code, StoreError::Code::notFound);
    QCOMPARE(saved.error().message, QString("Der Eintrag %1 ist nicht (mehr) gespeichert.").arg(first.id));
    QCOMPARE(store->removeTemplate(first.id).error().code, StoreError::Code::notFound);
    QCOMPARE(store->fetchTemplate(first.id).error().code, StoreError::Code::notFound);
    QCOMPARE(store->save(WatchedFolder{}).error().code, StoreError::Code::notFound); // never stored
    QCOMPARE(store->confirm(4711).error().code, StoreError::Code::notFound);
    QCOMPARE(store->fetchTemplates()->size(), 1);
}

void TestObjectStore::pendingRecordIsNotHistory()
{
    auto store = openStore(m_dir.filePath("pending.sqlite"));
    QVERIFY(store);
    const RenameRecord r = record("/docs/scan.pdf", "/docs/Rechnung.pdf", Moment);
    const qint64 id = store->insertPending(r).value();

    QVERIFY(store->fetchRecords()->isEmpty());
    QCOMPARE(store->fetchRecord(id)->state, State::pending);
    QVERIFY(store->confirm(id));
    QCOMPARE(store->fetchRecords()->size(), 1);
    QCOMPARE(store->fetchRecords()->first().state, State::done);

    // The engine's copy still says pending; saving its revert must not take the record back.
    RenameRecord stale = r;
    stale.id = id;
    stale.state = State::pending;
    stale.reverted = true;
    stale.revertedAt = Moment.addSecs(5);
    QVERIFY(store->save(stale));
    const RenameRecord stored = store->fetchRecords()->value(0);
    QCOMPARE(stored.state, State::done);
    QVERIFY(stored.reverted);

    // Clearing the history leaves a rename that is in progress.
    const qint64 inFlight = store->insertPending(r).value();
    QVERIFY(store->removeAllRecords());
    QVERIFY(store->fetchRecords()->isEmpty());
    QCOMPARE(store->fetchRecord(inFlight)->state, State::pending);
}

void TestObjectStore::settlingAfterCrash()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("store.sqlite");
    const auto touch = [&dir](const QString &name) { writeFile(dir.filePath(name), "x"); };
    touch("moved-new.pdf");   // the move happened, the confirmation did not
    touch("unmoved-old.pdf"); // killed before the move
    touch("done-new.pdf");
    // "vanished": neither name exists

    qint64 moved = 0, unmoved = 0, vanished = 0, done = 0;
    {
        auto store = openStore(path);
        QVERIFY(store);
        const auto pendingFor = [&](const QString &name, const QDateTime &at) {
            return store->insertPending(record(dir.filePath(name + "-old.pdf"), dir.filePath(name + "-new.pdf"), at))
                .value();
        };
        moved = pendingFor("moved", Moment);
        unmoved = pendingFor("unmoved", Moment.addSecs(1));
        vanished = pendingFor("vanished", Moment.addSecs(2));
        done = pendingFor("done", Moment.addSecs(-10));
        QVERIFY(store->confirm(done));
    } // the process ends here without confirming the rest

    auto store = openStore(path);
    QVERIFY(store);
    QSignalSpy spy(store.get(), &ObjectStore::changed);
    QStringList asked;
    const auto settled = store->settlePendingRecords([&asked](const RenameRecord &r) {
        asked << r.newName;
        return QFileInfo::exists(r.newPath);
    });
    QVERIFY(settled);
    QCOMPARE(settled->confirmed, 1);
    QCOMPARE(settled->removed, 2);
    asked.sort();
    QCOMPARE(asked, (QStringList{"moved-new.pdf", "unmoved-new.pdf", "vanished-new.pdf"}));
    QCOMPARE(spy.count(), 1);

    QCOMPARE(column(store->fetchRecords(), &RenameRecord::id), (QList<qint64>{moved, done}));
    QCOMPARE(store->fetchRecord(unmoved).error().code, StoreError::Code::notFound);
    QCOMPARE(store->fetchRecord(vanished).error().code, StoreError::Code::notFound);

    // A second pass finds nothing left to do.
    const auto again = store->settlePendingRecords([](const RenameRecord &) { return true; });
    QCOMPARE(again->confirmed + again->removed, 0);
    QCOMPARE(spy.count(), 1);
}

void TestObjectStore::unusableFileIsRefusedAndUntouched_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<StoreError::Code>("code");
    QTest::addColumn<QString>("message");
    const QString unchanged = "Die Datei bleibt unverändert.";
    QTest::newRow("not a database") << "garbage" << StoreError::Code::corrupt << unchanged;
    QTest::newRow("damaged pages") << "damaged" << StoreError::Code::corrupt << unchanged;
    QTest::newRow("another program's database") << "foreign" << StoreError::Code::corrupt << unchanged;
    QTest::newRow("newer schema") << "newer" << StoreError::Code::newerSchema << "Schema 2";
    QTest::newRow("parent is a file") << "parentfile" << StoreError::Code::cannotOpen << "kann nicht geöffnet werden";
    QTest::newRow("path is a folder") << "folder" << StoreError::Code::cannotOpen << "kann nicht geöffnet werden";
}

void TestObjectStore::unusableFileIsRefusedAndUntouched()
{
    QFETCH(QString, kind);
    QFETCH(StoreError::Code, code);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QString path = dir.filePath("namorix.sqlite");

    if (kind == "garbage") {
        writeFile(path, QByteArray("Kein SQLite, nur Text.\n").repeated(400));
    } else if (kind == "damaged") {
        {
            auto store = openStore(path);
            QVERIFY(store);
            for (int i = 0; i < 60; ++i)
                QVERIFY(store->insert(record("/a/" + QString(200, 'x') + QString::number(i), "/b", Moment)));
        }
        QFile file(path);
        QVERIFY(file.size() > 5 * 4096);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(3 * 4096); // a page of the records table; the header stays intact
        file.write(QByteArray(4096, '\xa5'));
    } else if (kind == "foreign") {
        rawExec(path, {"CREATE TABLE notes (text TEXT)", "INSERT INTO notes VALUES ('privat')"});
    } else if (kind == "newer") {
        {
            auto store = openStore(path);
            QVERIFY(store);
            QVERIFY(store->insert(NamingTemplate{0, "n", "p", "", false, Moment}));
        }
        rawExec(path, {"PRAGMA user_version = 2", "ALTER TABLE naming_template ADD COLUMN color TEXT"});
    } else if (kind == "parentfile") {
        writeFile(dir.filePath("data"), "a file where the folder should be");
        path = dir.filePath("data/namorix/namorix.sqlite");
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(path + "/inside"));
    }
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    const auto opened = ObjectStore::open(path);
    QVERIFY(!opened);
    QCOMPARE(opened.error().code, code);
    QVERIFY2(opened.error().message.startsWith("Die Datenbank " + path), qPrintable(opened.error().message));
    QVERIFY2(opened.error().message.contains(message), qPrintable(opened.error().message));
    QCOMPARE(snapshot(dir.path()), before);
}

QTEST_GUILESS_MAIN(TestObjectStore)
#include "tst_objectstore.moc"
