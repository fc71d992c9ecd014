#include "oldschema.h"
#include "store/objectstore.h"

#include <QSqlQuery>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(ObjectStore::RecordQuery)

namespace {

using Kind = ObjectStore::Kind;

const QDateTime Moment = QDateTime::fromMSecsSinceEpoch(1710498896123, Qt::UTC);

std::unique_ptr<ObjectStore> openStore(const QString &path)
{
    auto store = ObjectStore::open(path);
    if (!store)
        qWarning("%s", qPrintable(store.error().message()));
    return std::move(store.value()); // a failure ends the test function with an exception
}

QString when(const std::optional<QDateTime> &moment)
{
    return !moment ? "absent" : moment->isValid() ? moment->toUTC().toString(Qt::ISODateWithMs) : "invalid";
}

// Field lists, so a failed comparison names the field that differs.
QStringList fields(const RenameRecord &r)
{
    const auto *id = r.identity ? &*r.identity : nullptr;
    const QString identity = id ? QString::asprintf("%lu %lu %ld %lld.%lld", id->device, id->inode, id->size,
                                                    id->modifiedSeconds, id->modifiedNanoseconds)
                                : "no identity";
    return QStringList() << QString::number(r.id) << r.originalPath << r.newPath << r.originalName << r.newName
                         << when(r.timestamp) << r.providerUsed << QString::number(r.confidence, 'g', 17)
                         << (r.reverted ? "reverted" : "-") << when(r.revertedAt) << identity
                         << (r.state == RenameRecord::State::done ? "done" : "pending");
}

QStringList fields(const NamingTemplate &t)
{
    return {QString::number(t.id), t.name, t.pattern, t.example, t.isDefault ? "default" : "-", when(t.createdAt)};
}

QStringList fields(const WatchedFolder &f)
{
    return QStringList() << QString::number(f.id) << f.path << (f.isActive ? "active" : "-")
                         << (f.autoRename ? "auto" : "-")
                         << (f.templateName ? "template " + *f.templateName : "no template") << when(f.addedAt);
}

template <typename T, typename V> QList<V> column(const std::expected<QList<T>, StoreError> &fetched, V T::*member)
{
    QList<V> values;
    for (const T &value : fetched.value())
        values << value.*member;
    return values;
}

RenameRecord record(const QString &from, const QString &to, const QDateTime &timestamp)
{
    return {0, from, to, QFileInfo(from).fileName(), QFileInfo(to).fileName(), timestamp, "Claude", 0.85, false, {}};
}

// Samples with every field set and with none; a timestamp given with an offset comes back as UTC.
const QList<RenameRecord> Records = {
    {0, "/home/jörg/Überweisung März.pdf", "/home/jörg/2024-03-15 – 日本.pdf", "Überweisung März.pdf",
     "2024-03-15 – 日本.pdf", QDateTime(QDate(2024, 3, 15), QTime(12, 34, 56, 789), Qt::OffsetFromUTC, 3600), "Ollama",
     0.1234567890123, true, Moment, FileChecks::Identity{64769, ino_t(-2), 1 << 20, -1, 999999999}},
    {0, "", "", "", "", QDateTime(), "", qQNaN(), false, std::nullopt}, // SQLite keeps NaN as NULL
};
const QList<NamingTemplate> Templates = {{0, "Rechnung 🧾", "{datum}-{betrag}", "2024-03-15.pdf", true, Moment}, {}};
const QList<WatchedFolder> Folders = {{0, "/srv/Eingang/Ärzte/", false, true, "Rechnung 🧾", Moment.addDays(-3), {}},
                                      {0, "/tmp/in", true, false, QString(""), Moment, {}},
                                      {0, "", true, false, std::nullopt, QDateTime(), {}}};

// Inserts sample i and saves it over a stored different sample; a reopened file returns both as given.
template <typename T>
void roundTrip(const QString &path, const QList<T> &samples, int i,
               std::expected<T, StoreError> (ObjectStore::*fetch)(qint64) const)
{
    T inserted = samples[i], saved = samples[i];
    {
        auto store = openStore(path);
        inserted.id = store->insert(inserted).value();
        saved.id = store->insert(samples[(i + 1) % samples.size()]).value();
        QVERIFY(store->save(saved));
    }
    auto store = openStore(path);
    for (const T &value : {inserted, saved})
        QCOMPARE(fields((store.get()->*fetch)(value.id).value()), fields(value));
}

// Every entry in `folder` with its content, to prove that a refused open wrote nothing.
QStringList snapshot(const QString &folder)
{
    QStringList entries;
    for (const QFileInfo &entry : QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        QFile file(entry.filePath());
        entries << entry.fileName() + ':' + (file.open(QIODevice::ReadOnly) ? file.readAll().toHex() : "folder");
    }
    return entries;
}

} // namespace

class TestObjectStore final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyFieldSurvivesReopen_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("sample");
        QTest::newRow("record, every field set") << "record" << 0;
        QTest::newRow("record, empty") << "record" << 1;
        QTest::newRow("template, every field set") << "template" << 0;
        QTest::newRow("template, empty") << "template" << 1;
        QTest::newRow("folder with template") << "folder" << 0;
        QTest::newRow("folder, empty template name") << "folder" << 1;
        QTest::newRow("folder, no template") << "folder" << 2;
    }

    void everyFieldSurvivesReopen()
    {
        QFETCH(QString, type);
        QFETCH(int, sample);
        // The folder does not exist yet: open creates it.
        const QString path = m_dir.filePath(QString("new/%1/%2.sqlite").arg(type).arg(sample));
        if (type == "record")
            roundTrip(path, Records, sample, &ObjectStore::fetchRecord);
        else if (type == "template")
            roundTrip(path, Templates, sample, &ObjectStore::fetchTemplate);
        else
            roundTrip(path, Folders, sample, &ObjectStore::fetchFolder);
    }

    // The history and the cached readings are the user's alone: folder 0700, files 0600, those of
    // earlier versions too; the -wal and -shm follow the store's file.
    void filesAreTheUsersAlone()
    {
        const QString folder = m_dir.filePath("geteilt");
        QVERIFY(QDir().mkpath(folder));
        const auto mode = [](const QString &path) {
            struct stat status {
            };
            return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 0777) : -1;
        };
        const QFile::Permissions open = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        {
            auto store = ObjectStore::open(folder + "/namorix.sqlite");
            QVERIFY(store && (*store)->insert(Records.value(0)));
        }
        QVERIFY(QFile::setPermissions(folder, open | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(folder + "/namorix.sqlite", open));
        auto store = ObjectStore::open(folder + "/namorix.sqlite");
        QVERIFY(store && (*store)->insert(Records.value(1)));
        QCOMPARE(mode(folder), 0700);
        for (const QString suffix : {"", "-wal", "-shm"}) {
            if (QFile::exists(folder + "/namorix.sqlite" + suffix))
                QCOMPARE(mode(folder + "/namorix.sqlite" + suffix), 0600);
        }
        QVERIFY(QFile::exists(folder + "/namorix.sqlite-wal"));

        // Another account, where this machine has one to run as, cannot read the history.
        if (::geteuid() != 0 || QStandardPaths::findExecutable("runuser").isEmpty())
            QSKIP("another account needs root and runuser here");
        QVERIFY(
            QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ReadOther | QFile::ExeOther));
        QProcess other;
        other.start("runuser", {"-u", "nobody", "--", "cat", folder + "/namorix.sqlite"});
        QVERIFY(other.waitForFinished(10000));
        QVERIFY2(other.exitCode() != 0 && other.readAllStandardOutput().isEmpty(),
                 other.readAllStandardError().constData());
    }

    void templatesAndFoldersKeepTheirOrder()
    {
        // Oldest first, regardless of insertion order; records are ordered by recordQueries.
        auto store = openStore(m_dir.filePath("order.sqlite"));
        for (int days : {2, 0, 1}) {
            QVERIFY(store->insert(NamingTemplate{0, QString::number(days), "", "", false, Moment.addDays(days)}));
            QVERIFY(store->insert(WatchedFolder{0, QString::number(days), true, false, {}, Moment.addDays(days), {}}));
        }
        QCOMPARE(column(store->fetchTemplates(), &NamingTemplate::name), (QStringList{"0", "1", "2"}));
        QCOMPARE(column(store->fetchFolders(), &WatchedFolder::path), (QStringList{"0", "1", "2"}));
    }

    void changedSignalsOnlyVisibleChanges()
    {
        auto store = openStore(m_dir.filePath("signals.sqlite"));
        QList<Kind> changes;
        connect(store.get(), &ObjectStore::changed, this, [&changes](Kind kind) { changes << kind; });

        NamingTemplate t{0, "n", "p", "", false, Moment};
        WatchedFolder f{0, "/x", true, false, {}, Moment, {}};
        RenameRecord r = record("/a", "/b", Moment);
        t.id = store->insert(t).value();
        f.id = store->insert(f).value();
        r.id = store->insert(r).value();
        QVERIFY(store->save(t) && store->save(f) && store->save(r));
        QVERIFY(store->removeTemplate(t.id) && store->removeFolder(f.id) && store->removeRecord(r.id));
        QVERIFY(store->removeAllRecords());
        const QList<Kind> each = {Kind::templates, Kind::folders, Kind::records};
        QCOMPARE(std::exchange(changes, {}), each + each + each + QList<Kind>{Kind::records});

        // Failed writes and invisible pending records change nothing a view shows.
        QCOMPARE(store->save(t).error().code, StoreError::Code::notFound);
        QCOMPARE(store->removeFolder(f.id).error().code, StoreError::Code::notFound);
        const qint64 pending = store->insertPending(r).value();
        QCOMPARE(std::exchange(changes, {}), QList<Kind>{});
        QVERIFY(store->confirm(pending) && store->confirm(pending)); // the second finds it done: nothing to announce
        QCOMPARE(std::exchange(changes, {}), QList<Kind>{Kind::records});
    }

    // A reply is found by its key until it is older than the age bound; each write drops the
    // expired ones and the oldest beyond the entry bound; clearing says how many went.
    void replyCacheKeepsItsBounds()
    {
        auto store = openStore(m_dir.filePath("cache.sqlite"));
        store->setCacheBounds({.maxEntries = 2, .maxAgeDays = 90});
        QVERIFY(store->keepReply("alt", "{alt}", Moment.addDays(-91)));
        QCOMPARE(store->cachedReply("alt", Moment).value(), std::nullopt);
        QVERIFY(store->keepReply("a", "{a}", Moment.addSecs(1)) && store->keepReply("b", "{b}", Moment.addSecs(2)));
        QCOMPARE(store->countCachedReplies().value(), 2); // "alt" went with the first write after it expired
        QVERIFY(store->keepReply("a", "{a2}", Moment.addSecs(3)) && store->keepReply("c", "{c}", Moment.addSecs(4)));
        QCOMPARE(store->cachedReply("a", Moment).value(), "{a2}");
        QCOMPARE(store->cachedReply("b", Moment).value(), std::nullopt);
        QCOMPARE(store->clearCachedReplies().value(), 2);
        QCOMPARE(store->countCachedReplies().value(), 0);
    }

    // A sender is one entry: a lesson sharing any identifier with it replaces its spelling, category
    // and description and adds its identifiers; the latest comes first; a lesson without a name or
    // without anything to recognise the sender by is no lesson. Kept across a restart.
    void learnedSendersMergeByIdentifier()
    {
        const QString path = m_dir.filePath("senders.sqlite");
        {
            auto store = openStore(path);
            QVERIFY(store->learnSender({"Stadtwerke", "rechnung", "Strom", {"vat:DE123456789"}}, Moment));
            QVERIFY(store->learnSender({"Telekom", std::nullopt, "", {"mail:telekom.de"}}, Moment.addSecs(1)));
            QVERIFY(store->learnSender({"SWM", "vertrag", "Gas", {"iban:DE89370400440532013000", "vat:DE123456789"}},
                                       Moment.addSecs(2)));
            QVERIFY(store->learnSender({"", "rechnung", "", {"vat:DE1"}}, Moment.addSecs(3)));
            QVERIFY(store->learnSender({"Niemand", "rechnung", "", {}}, Moment.addSecs(4)));
        }
        auto store = openStore(path);
        const QList<LearnedSender> senders = store->learnedSenders().value();
        QCOMPARE(senders.size(), 2);
        QCOMPARE(senders.at(0),
                 (LearnedSender{"SWM", "vertrag", "Gas", {"iban:DE89370400440532013000", "vat:DE123456789"}}));
        QCOMPARE(senders.at(1).absender, "Telekom");
        QCOMPARE(senders.at(1).kategorie, std::nullopt);
        QCOMPARE(store->forgetSenders().value(), 2);
        QVERIFY(store->learnedSenders()->isEmpty());
    }

    void pendingRecordsAndSettling()
    {
        const QString path = m_dir.filePath("pending.sqlite");
        qint64 moved = 0, unmoved = 0;
        {
            auto store = openStore(path);
            const QList<qint64> batch = store
                                            ->insertPending({record("/in/scan1.pdf", "/in/moved.pdf", Moment),
                                                             record("/in/scan2.pdf", "/in/unmoved.pdf", Moment),
                                                             record("/in/scan4.pdf", "/in/failed.pdf", Moment)})
                                            .value();
            moved = batch.at(0), unmoved = batch.at(1);
            QCOMPARE(store->finishPending({}, {batch.at(2)}), 0); // a move that failed leaves nothing
            RenameRecord done = record("/in/scan3.pdf", "/in/done.pdf", Moment);
            done.id = store->insertPending(done).value();
            QVERIFY(store->fetchRecords()->isEmpty());
            done.identity = FileChecks::Identity{1, 2, 3, 4, 5}; // the file, found changed after its move
            QCOMPARE(store->finishPending({done.id}, {}, {done}), 1);
            QCOMPARE(column(store->fetchRecords(), &RenameRecord::id), QList<qint64>{done.id});
            QCOMPARE(store->fetchRecord(done.id)->identity, done.identity);

            // The engine's copy still says pending; saving its revert must not take the record back.
            done.reverted = true;
            QVERIFY(store->save(done));
            QCOMPARE(store->fetchRecord(done.id)->state, RenameRecord::State::done);
            QVERIFY(store->fetchRecord(done.id)->reverted);
            QVERIFY(store->removeAllRecords()); // clears the history, not the renames in progress
        }                                       // the process ends here without confirming the rest

        auto store = openStore(path);
        QStringList asked;
        const auto settled = store->settlePendingRecords([&asked](const RenameRecord &r) {
            asked << r.newName;
            return r.newName == "moved.pdf";
        });
        QCOMPARE(std::pair(settled->confirmed, settled->removed), std::pair(1, 1)); // confirmed, removed
        asked.sort();
        QCOMPARE(asked, (QStringList{"moved.pdf", "unmoved.pdf"}));
        QCOMPARE(column(store->fetchRecords(), &RenameRecord::id), QList<qint64>{moved});
        QCOMPARE(store->fetchRecord(unmoved).error().code, StoreError::Code::notFound);
    }

    void recordQueries_data()
    {
        using Query = ObjectStore::RecordQuery;
        QTest::addColumn<Query>("query");
        QTest::addColumn<QStringList>("originals");
        const auto with = [](auto field, auto value, qsizetype limit = -1, qsizetype offset = 0) {
            Query query;
            query.*field = value;
            query.limit = limit;
            query.offset = offset;
            return query;
        };
        // c is newest by a millisecond and stored first; b comes after Ärger at the same time.
        QTest::newRow("all, newest first, ties by id") << Query{} << QStringList{"c", "b", "Ärger", "d"};
        QTest::newRow("search folds full Unicode case") << with(&Query::search, QString("äRG")) << QStringList{"Ärger"};
        QTest::newRow("search new name") << with(&Query::search, QString("VERTRAG")) << QStringList{"b"};
        QTest::newRow("from inclusive") << with(&Query::from, Moment) << QStringList{"c", "b", "Ärger"};
        QTest::newRow("to inclusive, no time is earliest") << with(&Query::to, Moment.addSecs(-60)) << QStringList{"d"};
        QTest::newRow("reverted") << with(&Query::reverted, true) << QStringList{"b"};
        QTest::newRow("new path") << with(&Query::newPath, QString("/in/neu-a")) << QStringList{"Ärger"};
        QTest::newRow("page") << with(&Query::search, QString(""), 2, 1) << QStringList{"b", "Ärger"};
        // Stored in one insert, but before batches: each record became a batch of its own.
        QTest::newRow("batch") << with(&Query::batch, qint64(1)) << QStringList{"c"};
        Query byName = with(&Query::order, Query::Order::originalName);
        byName.ascending = true; // the folded names' bytes
        QTest::newRow("by old name, any case") << byName << QStringList{"b", "c", "d", "Ärger"};
        QTest::newRow("reverted first, then newest")
            << with(&Query::order, Query::Order::reverted) << QStringList{"b", "c", "Ärger", "d"};
    }

    void recordQueries()
    {
        QFETCH(ObjectStore::RecordQuery, query);
        QFETCH(QStringList, originals);
        const QString path = m_dir.filePath("queries.sqlite");
        if (!QFile::exists(path)) {
            {
                auto store = openStore(path);
                RenameRecord a = record("/in/Ärger", "/in/neu-a", Moment),
                             b = record("/in/b", "/in/Mietvertrag", Moment);
                RenameRecord c = record("/in/c", "/in/neu-c", Moment.addMSecs(1)), d = record("/in/d", "/in/neu-d", {});
                b.reverted = true;
                QVERIFY(store->insert(QList<RenameRecord>{c, a, b, d}));
            }
            // Written by the first schema, which had no folded names or batches: the upgrade fills them in.
            QVERIFY(downgradeStore(path, 1));
        }
        auto store = openStore(path);
        QCOMPARE(column(store->fetchRecords(query), &RenameRecord::originalName), originals);
        if (query.limit < 0) // one COUNT query, no records loaded
            QCOMPARE(store->countRecords(query)->records, originals.size());
    }

    void unusableFileIsRefusedAndUntouched_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<StoreError::Code>("code");
        QTest::addColumn<QString>("message");
        const QString unchanged = "Die Datei bleibt unverändert.";
        QTest::newRow("not a database") << "garbage" << StoreError::Code::corrupt << unchanged;
        QTest::newRow("damaged pages") << "damaged" << StoreError::Code::corrupt << unchanged;
        QTest::newRow("newer schema") << "newer" << StoreError::Code::newerSchema
                                      << QString("schema %1").arg(ObjectStore::SchemaVersion + 1);
        QTest::newRow("parent is a file") << "parentfile" << StoreError::Code::cannotOpen << "kann nicht geöffnet";
    }

    void unusableFileIsRefusedAndUntouched()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(kind == "parentfile" ? "data/namorix.sqlite" : "namorix.sqlite");
        if (kind == "garbage" || kind == "parentfile") { // text where the database or its folder should be
            QFile file(kind == "garbage" ? path : dir.filePath("data"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray("Kein SQLite.\n").repeated(400)));
        } else {
            {
                auto store = openStore(path);
                for (int i = 0; i < 60; ++i)
                    QVERIFY(store->insert(record(QString(200, 'x') + QString::number(i), "/b", Moment)));
            }
            if (kind == "newer") {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
                db.setDatabaseName(path);
                QVERIFY(db.open() &&
                        QSqlQuery(db).exec(QString("PRAGMA user_version = %1").arg(ObjectStore::SchemaVersion + 1)));
                db.close();
            } else { // overwrite a page of the records table; the header stays intact
                QFile file(path);
                QVERIFY(file.size() > 5 * 4096 && file.open(QIODevice::ReadWrite) && file.seek(3 * 4096));
                file.write(QByteArray(4096, '\xa5'));
            }
        }
        const QStringList before = snapshot(dir.path());

        const auto opened = ObjectStore::open(path);
        QVERIFY(!opened);
        QTEST(opened.error().code, "code");
        QVERIFY2(opened.error().message().startsWith("Die Datenbank " + path), qPrintable(opened.error().message()));
        QVERIFY2(opened.error().message().contains(message), qPrintable(opened.error().message()));
        QCOMPARE(snapshot(dir.path()), before);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestObjectStore)
#include "tst_objectstore.moc"
