#include "engine/reviewkeeper.h"

#include "engine/enginelog.h"
#include "engine/renameengine.h"
#include "store/objectstore.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const std::array<QString, 3> StatusNames{QStringLiteral("verified"), QStringLiteral("unverified"),
                                         QStringLiteral("notCheckable")};

QJsonValue optionalText(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue();
}

std::optional<QString> optionalText(const QJsonValue &value)
{
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

} // namespace

ReviewKeeper::ReviewKeeper(RenameEngine &engine, ObjectStore &store, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_store(store)
{
    m_gather.setSingleShot(true);
    m_gather.setInterval(GatherMs);
    connect(&m_gather, &QTimer::timeout, this, &ReviewKeeper::flush);
    connect(&engine, &RenameEngine::jobsChanged, &m_gather, qOverload<>(&QTimer::start));
}

ReviewKeeper::~ReviewKeeper()
{
    flush();
}

QByteArray ReviewKeeper::serialise(const RenameJob &job)
{
    QJsonArray unverified;
    for (const Grounding::FieldCheck &check : job.unverified)
        unverified.append(QJsonObject{{QStringLiteral("field"), check.field},
                                      {QStringLiteral("status"), StatusNames[std::size_t(check.status)]},
                                      {QStringLiteral("reason"), check.reason},
                                      {QStringLiteral("passage"), check.passage},
                                      {QStringLiteral("position"), qint64(check.position)}});
    QJsonObject row{{QStringLiteral("path"), job.originalPath()},
                    {QStringLiteral("name"), job.suggestedName},
                    {QStringLiteral("confidence"), job.confidence},
                    {QStringLiteral("approved"), job.approved},
                    {QStringLiteral("edited"), job.editedByUser},
                    {QStringLiteral("failure"), optionalText(job.failureReason)},
                    {QStringLiteral("applyFailure"), optionalText(job.applyFailure)},
                    {QStringLiteral("newer"), optionalText(job.newerSuggestion)},
                    {QStringLiteral("unverified"), unverified}};
    if (job.analysed) {
        const FileChecks::Identity &file = *job.analysed;
        // As strings: a JSON number loses an inode or time beyond 2^53.
        row.insert(QStringLiteral("analysed"),
                   QJsonArray{QString::number(file.device), QString::number(file.inode), QString::number(file.size),
                              QString::number(file.modifiedSeconds), QString::number(file.modifiedNanoseconds)});
    }
    return QJsonDocument(row).toJson(QJsonDocument::Compact);
}

std::optional<RenameJob> ReviewKeeper::deserialise(const QString &id, const QByteArray &data)
{
    const QJsonObject row = QJsonDocument::fromJson(data).object();
    const QString path = row.value(QStringLiteral("path")).toString();
    if (path.isEmpty() || QUuid(id).isNull())
        return std::nullopt;
    RenameJob job;
    job.id = QUuid(id);
    job.originalURL = QUrl::fromLocalFile(path);
    job.suggestedName = row.value(QStringLiteral("name")).toString();
    job.confidence = row.value(QStringLiteral("confidence")).toDouble();
    job.approved = row.value(QStringLiteral("approved")).toBool();
    job.editedByUser = row.value(QStringLiteral("edited")).toBool();
    job.failureReason = optionalText(row.value(QStringLiteral("failure")));
    job.applyFailure = optionalText(row.value(QStringLiteral("applyFailure")));
    job.newerSuggestion = optionalText(row.value(QStringLiteral("newer")));
    for (const QJsonValue &value : row.value(QStringLiteral("unverified")).toArray()) {
        const QJsonObject check = value.toObject();
        const auto status = std::ranges::find(StatusNames, check.value(QStringLiteral("status")).toString());
        job.unverified.append(Grounding::FieldCheck{
            check.value(QStringLiteral("field")).toString(),
            status == StatusNames.end() ? Grounding::Status::unverified
                                        : Grounding::Status(status - StatusNames.begin()),
            check.value(QStringLiteral("reason")).toString(), check.value(QStringLiteral("passage")).toString(),
            qsizetype(check.value(QStringLiteral("position")).toInteger(-1))});
    }
    const QJsonArray analysed = row.value(QStringLiteral("analysed")).toArray();
    if (analysed.size() == 5) {
        const auto number = [&](int i) { return analysed.at(i).toString().toLongLong(); };
        job.analysed = FileChecks::Identity{dev_t(analysed.at(0).toString().toULongLong()),
                                            ino_t(analysed.at(1).toString().toULongLong()), off_t(number(2)), number(3),
                                            number(4)};
    }
    return job;
}

void ReviewKeeper::restore()
{
    const auto rows = m_store.reviewRows();
    if (!rows) {
        qCWarning(lcEngine, "review list not restored: %s", qUtf8Printable(rows.error().message()));
        return;
    }
    QList<RenameJob> jobs;
    QStringList gone;
    for (const ReviewRow &row : *rows) {
        std::optional<RenameJob> job = deserialise(row.id, row.data);
        // A file moved or deleted meanwhile has nothing left to rename.
        if (!job || !QFileInfo::exists(job->originalPath())) {
            gone << row.id;
            continue;
        }
        m_kept.insert(row.id, row.data);
        m_orders.insert(row.id, row.order);
        m_nextOrder = std::max(m_nextOrder, row.order + 1);
        jobs << *job;
    }
    if (!gone.isEmpty()) {
        qCInfo(lcEngine, "%lld rows of the review list dropped: their files are gone or unreadable",
               qlonglong(gone.size()));
        if (const auto dropped = m_store.keepReview({}, gone); !dropped)
            qCWarning(lcEngine, "review list not cleaned: %s", qUtf8Printable(dropped.error().message()));
    }
    if (!jobs.isEmpty() && m_engine.jobs().isEmpty()) {
        m_engine.setJobs(jobs);
        m_gather.stop(); // nothing changed
    }
}

void ReviewKeeper::flush()
{
    m_gather.stop();
    QList<ReviewRow> changed;
    QHash<QString, QByteArray> now;
    const QList<RenameJob> &jobs = m_engine.jobs();
    now.reserve(jobs.size());
    QHash<QString, qint64> orders;
    orders.reserve(jobs.size());
    for (const RenameJob &job : jobs) {
        const QString id = job.id.toString(QUuid::WithoutBraces);
        // Rows join the list at its end and keep their place: an order given once stays, and a
        // row leaving the middle moves no other.
        const qint64 order = m_orders.contains(id) ? m_orders.value(id) : m_nextOrder++;
        QByteArray data = serialise(job);
        if (m_kept.value(id) != data)
            changed.append({id, order, data});
        now.insert(id, std::move(data));
        orders.insert(id, order);
    }
    QStringList removed;
    for (auto kept = m_kept.cbegin(); kept != m_kept.cend(); ++kept) {
        if (!now.contains(kept.key()))
            removed << kept.key();
    }
    if (changed.isEmpty() && removed.isEmpty())
        return;
    if (const auto written = m_store.keepReview(changed, removed); !written) {
        qCWarning(lcEngine, "review list not kept: %s", qUtf8Printable(written.error().message()));
        return; // tried again with the next change
    }
    m_kept = std::move(now);
    m_orders = std::move(orders);
}
