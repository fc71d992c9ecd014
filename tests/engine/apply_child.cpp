// Run by tst_crashsafety. "apply FOLDER DB": renames every "f*.txt" in FOLDER through the engine
// with history in DB, printing "started" first. "undo DB": undoes the newest batch in DB, printing
// "started" first. "race FOLDER NAME": keeps creating files with the names the engine will pick
// for NAME (never replacing one) until it is killed.

#include "engine/undo.h"
#include "enginefixture.h"
#include "store/objectstore.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int apply(const QString &folder, const QString &database)
{
    auto store = ObjectStore::open(database);
    if (!store)
        return 2;
    EngineFixture fixture;
    const std::unique_ptr<RenameEngine> engine = fixture.makeEngine();
    engine->setStore(store->get());

    QList<RenameJob> jobs;
    const QStringList files = QDir(folder).entryList({"f*.txt"}, QDir::Files, QDir::Name);
    for (int i = 0; i < files.size(); ++i) {
        RenameJob job = RenameJob::failed(folder + '/' + files.at(i), QString());
        job.suggestedName = i % 3 == 0 ? QString("Dokument.txt") : QString("neu-%1.txt").arg(i);
        job.confidence = 0.9;
        job.approved = true;
        jobs << job;
    }
    engine->setJobs(jobs);
    std::puts("started");
    std::fflush(stdout);
    const QList<RenameRecord> records = awaitTask(engine->applyApproved());
    return records.size() == jobs.size() ? 0 : 1;
}

int undo(const QString &database)
{
    auto store = ObjectStore::open(database);
    if (!store)
        return 2;
    std::puts("started");
    std::fflush(stdout);
    const auto undone = Undo::revertLast(store->get());
    return undone && undone->failures.isEmpty() ? 0 : 1;
}

int race(const QString &folder, const QString &name)
{
    const QString base = name.section('.', 0, 0);
    const QString extension = name.section('.', 1);
    std::puts("started");
    std::fflush(stdout);
    for (;;) {
        for (int n = 1; n < 100; ++n) {
            const QString candidate =
                folder + '/' + (n == 1 ? name : base + '-' + QString::number(n) + '.' + extension);
            const int fd = ::open(QFile::encodeName(candidate).constData(), O_CREAT | O_EXCL | O_WRONLY, 0644);
            if (fd >= 0) {
                [[maybe_unused]] const auto written = ::write(fd, "racer", 5);
                ::close(fd);
            }
        }
        ::usleep(200);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == "apply")
        return apply(args.at(2), args.at(3));
    if (args.size() == 3 && args.at(1) == "undo")
        return undo(args.at(2));
    if (args.size() == 4 && args.at(1) == "race")
        return race(args.at(2), args.at(3));
    return 3;
}
