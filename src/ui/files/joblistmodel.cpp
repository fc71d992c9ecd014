#include "ui/files/joblistmodel.h"

#include "engine/renameengine.h"
#include "ui/common/icons.h"
#include "ui/common/palette.h"

#include <QColor>

#include <algorithm>
#include <cmath>

JobListModel::JobListModel(RenameEngine &engine, QObject *parent)
    : QAbstractListModel(parent)
    , m_engine(engine)
{
    connect(&m_engine, &RenameEngine::jobsChanged, this, &JobListModel::refresh);
    refresh();
}

int JobListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_ids.size());
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
    const QString reason = job.failureReason.value_or(QString());
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
        return QStringList{job.originalName() + QStringLiteral(" → ") + job.suggestedName, uncheckedReasons(job)}
            .join(u'\n')
            .trimmed();
    case Qt::AccessibleDescriptionRole:
        return uncheckedReasons(job);
    case UnverifiedMarksRole:
        return QVariant::fromValue(job.explanation && job.explanation->builtName == job.suggestedName
                                       ? job.explanation->marks
                                       : QList<Grounding::NameMark>());
    case Qt::AccessibleTextRole:
        return reason.isEmpty()
                   ? qtTrId("preview.row").arg(job.originalName(), job.suggestedName, badgeText(job.confidence))
                   : qtTrId("preview.rowFailed").arg(job.originalName(), reason);
    case OriginalNameRole:
        return job.originalName();
    case ConfidenceRole:
        return job.confidence;
    case BadgeTextRole:
        // A warning sign on the badge when a field of the name is not backed by the file.
        return job.unverified.isEmpty() ? badgeText(job.confidence) : QStringLiteral("⚠ ") + badgeText(job.confidence);
    case BadgeColorRole:
        return badgeColor(job.confidence);
    case FailureReasonRole:
        return reason;
    case UrlRole:
        return job.originalURL;
    default:
        return {};
    }
}

bool JobListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || (role != Qt::CheckStateRole && role != Qt::EditRole))
        return false;
    QList<RenameJob> jobs = m_engine.jobs();
    const QUuid id = m_ids.at(index.row());
    const auto job = std::ranges::find(jobs, id, &RenameJob::id);
    if (job == jobs.end())
        return false;
    if (role == Qt::CheckStateRole)
        job->approved = value.toInt() == Qt::Checked;
    else
        job->suggestedName = value.toString();
    m_engine.setJobs(jobs);
    return true;
}

Qt::ItemFlags JobListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsUserCheckable;
}

int JobListModel::approvedCount() const
{
    return int(std::ranges::count_if(m_engine.jobs(), &RenameJob::approved));
}

QString JobListModel::badgeText(double confidence)
{
    return QString::number(qint64(std::trunc(confidence * 100))) + u'%';
}

QColor JobListModel::badgeColor(double confidence)
{
    if (confidence > 0.7)
        return UIColors::green();
    if (confidence > 0.4)
        return UIColors::orange();
    return UIColors::red();
}

void JobListModel::refresh()
{
    QList<QUuid> ids;
    ids.reserve(m_engine.jobs().size());
    for (const RenameJob &job : m_engine.jobs())
        ids << job.id;
    if (ids == m_ids) {
        if (!ids.isEmpty())
            Q_EMIT dataChanged(index(0), index(int(ids.size()) - 1));
        return;
    }
    beginResetModel();
    m_ids = std::move(ids);
    endResetModel();
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
