#include "ui/files/joblistmodel.h"

#include "engine/renameengine.h"
#include "ui/common/icons.h"
#include "ui/common/palette.h"

#include <QColor>
#include <QSet>

#include <algorithm>

namespace {

/** Whether `part` is `whole` with some entries left out, in the same order. */
template <typename Row> bool isSubsequence(const QList<QUuid> &part, const QList<Row> &whole)
{
    qsizetype at = 0;
    for (const QUuid &id : part) {
        while (at < whole.size() && whole.at(at).id != id)
            ++at;
        if (at++ == whole.size())
            return false;
    }
    return true;
}

/** The non-empty ones of `parts`, one a line. */
QString lines(QStringList parts)
{
    parts.removeAll(QString());
    return parts.join(u'\n');
}

} // namespace

JobListModel::JobListModel(RenameEngine &engine, QObject *parent)
    : QAbstractListModel(parent)
    , m_engine(engine)
{
    connect(&m_engine, &RenameEngine::jobsChanged, this, &JobListModel::refresh);
    refresh();
}

int JobListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QString JobListModel::uncheckedReasons(const RenameJob &job)
{
    QStringList reasons;
    for (const Grounding::FieldCheck &check : job.unverified)
        reasons << check.reason;
    return reasons.join(u'\n');
}

QVariant JobListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || index.row() >= m_engine.jobs().size())
        return {};
    const RenameJob &job = m_engine.jobs().at(index.row());
    // A failed rename says why before an older analysis failure would.
    const QString reason =
        job.applyFailure ? qtTrId("preview.notRenamed").arg(*job.applyFailure) : job.failureReason.value_or(QString());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return job.suggestedName;
    case Qt::CheckStateRole:
        return int(job.approved ? Qt::Checked : Qt::Unchecked);
    case Qt::DecorationRole:
        return iconFor(job.originalPath());
    case Qt::ToolTipRole:
        if (!reason.isEmpty())
            return reason;
        return lines({job.originalName() + QStringLiteral(" → ") + job.suggestedName, uncheckedReasons(job),
                      newerSuggestion(job), cachedNote(job)});
    case Qt::AccessibleDescriptionRole:
        return lines({uncheckedReasons(job), newerSuggestion(job), cachedNote(job)});
    case CachedNoteRole:
        return reason.isEmpty() ? cachedNote(job) : QString();
    case UnverifiedMarksRole:
        return QVariant::fromValue(job.explanation && job.explanation->builtName == job.suggestedName
                                       ? job.explanation->marks
                                       : QList<Grounding::NameMark>());
    case Qt::AccessibleTextRole:
        return reason.isEmpty()
                   ? qtTrId("preview.row")
                         .arg(job.originalName(), job.suggestedName, RenameJob::confidenceText(job.confidence))
                   : qtTrId("preview.rowFailed").arg(job.originalName(), reason);
    case OriginalNameRole:
        return job.originalName();
    case ConfidenceRole:
        return job.confidence;
    case BadgeTextRole:
        // A warning sign on the badge when a field of the name is not backed by the file.
        return (job.unverified.isEmpty() ? QString() : QStringLiteral("⚠ ")) +
               RenameJob::confidenceText(job.confidence);
    case BadgeColorRole:
        return badgeColor(job.confidence);
    case FailureReasonRole:
        return reason;
    case UrlRole:
        return job.originalURL;
    case IdRole:
        return job.id;
    case AnalysisFailedRole:
        return job.failureReason.has_value();
    case UncheckedRole:
        return !job.unverified.isEmpty() || (job.hasFailed() && !job.failureReason);
    default:
        return {};
    }
}

bool JobListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || (role != Qt::CheckStateRole && role != Qt::EditRole))
        return false;
    const QUuid id = m_rows.at(index.row()).id;
    if (role == Qt::CheckStateRole)
        return m_engine.editJob(id, std::nullopt, value.toInt() == Qt::Checked);
    return m_engine.editJob(id, value.toString(), std::nullopt);
}

QString JobListModel::newerSuggestion(const RenameJob &job)
{
    return job.newerSuggestion ? qtTrId("preview.newerSuggestion").arg(*job.newerSuggestion) : QString();
}

QString JobListModel::cachedNote(const RenameJob &job)
{
    return job.explanation && job.explanation->fromCache ? qtTrId("preview.fromCache") : QString();
}

Qt::ItemFlags JobListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsUserCheckable;
}

int JobListModel::approvedCount() const
{
    return int(std::ranges::count_if(m_engine.jobs(), &RenameJob::isRenamable));
}

QColor JobListModel::badgeColor(double confidence)
{
    if (confidence > 0.7)
        return UIColors::green();
    if (confidence > 0.4)
        return UIColors::orange();
    return UIColors::red();
}

JobListModel::Shown JobListModel::shown(const RenameJob &job)
{
    return {job.id,         job.originalURL,      job.suggestedName, job.approved,
            job.confidence, job.failureReason,    job.applyFailure,  job.newerSuggestion,
            job.unverified, job.explanation.get()};
}

void JobListModel::refresh()
{
    QList<Shown> rows;
    rows.reserve(m_engine.jobs().size());
    for (const RenameJob &job : m_engine.jobs())
        rows << shown(job);
    QList<QUuid> ids;
    ids.reserve(rows.size());
    for (const Shown &row : std::as_const(rows))
        ids << row.id;
    // The engine adds at the end, replaces in place or removes; rows are moved as such, so an
    // open editor, the selection and the scroll position survive an arrival.
    if (rows.size() < m_rows.size() && isSubsequence(ids, m_rows)) {
        const QSet<QUuid> staying(ids.cbegin(), ids.cend());
        for (qsizetype row = m_rows.size() - 1; row >= 0; --row) {
            if (staying.contains(m_rows.at(row).id))
                continue;
            beginRemoveRows({}, int(row), int(row));
            m_rows.removeAt(row);
            endRemoveRows();
        }
    } else if (rows.size() < m_rows.size()) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }
    // Only the runs of rows that show something new are announced: a filter above re-checks
    // those, not ten thousand rows for one tick.
    const qsizetype kept = m_rows.size();
    qsizetype first = -1;
    for (qsizetype row = 0; row <= kept; ++row) {
        const bool changed = row < kept && m_rows.at(row) != rows.at(row);
        if (changed) {
            m_rows[row] = rows.at(row);
            if (first < 0)
                first = row;
        } else if (first >= 0) {
            Q_EMIT dataChanged(index(int(first)), index(int(row) - 1));
            first = -1;
        }
    }
    if (rows.size() > kept) {
        beginInsertRows({}, int(kept), int(rows.size()) - 1);
        m_rows = std::move(rows);
        endInsertRows();
    }
}

QIcon JobListModel::iconFor(const QString &path) const
{
    // By name only: reading file contents for every painted row would hit the disk on the GUI thread.
    const QMimeType type = m_mimeDatabase.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    auto cached = m_icons.constFind(type.name());
    if (cached != m_icons.cend())
        return *cached;
    const QIcon generic = QIcon::fromTheme(type.genericIconName(), Icons::symbol(u"doc.text"));
    const QIcon icon = QIcon::fromTheme(type.iconName(), generic);
    m_icons.insert(type.name(), icon);
    return icon;
}
