#include "ui/watch/watchedfoldermodel.h"

#include "automation/watchedfolders.h"
#include "store/objectstore.h"
#include "ui/common/icons.h"
#include "ui/common/twolinedelegate.h"

#include <QFileInfo>

namespace {

QString folderName(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

} // namespace

WatchedFolderModel::WatchedFolderModel(ObjectStore *store, QObject *parent)
    : QAbstractTableModel(parent)
    , m_store(store)
{
    if (m_store) {
        connect(m_store, &ObjectStore::changed, this, [this](ObjectStore::Kind kind) {
            if (kind == ObjectStore::Kind::folders)
                reload();
        });
    }
    reload();
}

int WatchedFolderModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_folders.size());
}

int WatchedFolderModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant WatchedFolderModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_folders.size())
        return {};
    const WatchedFolder &folder = m_folders.at(index.row());
    const QString name = folderName(folder.path);
    switch (index.column()) {
    case FolderColumn:
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return name;
        if (role == TwoLineDelegate::SubtitleRole || role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole)
            return folder.path;
        return {};
    case AutoRenameColumn:
    case ActiveColumn: {
        const bool on = index.column() == ActiveColumn ? folder.isActive : folder.autoRename;
        if (role == Qt::CheckStateRole)
            return on ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
            return qtTrId(index.column() == ActiveColumn ? "watch.active.cell" : "watch.autoRename.cell").arg(name);
        return {};
    }
    case RemoveColumn:
        if (role == Qt::DecorationRole)
            return Icons::symbol(u"trash");
        if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
            return qtTrId("watch.remove").arg(name);
        return {};
    default:
        return {};
    }
}

QVariant WatchedFolderModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case FolderColumn:
        return qtTrId("watch.folder");
    case AutoRenameColumn:
        return qtTrId("watch.autoRename");
    case ActiveColumn:
        return qtTrId("watch.active");
    default:
        return QString();
    }
}

Qt::ItemFlags WatchedFolderModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == AutoRenameColumn || index.column() == ActiveColumn)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool WatchedFolderModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_store || role != Qt::CheckStateRole || index.row() >= m_folders.size())
        return false;
    const bool on = value.value<Qt::CheckState>() == Qt::Checked;
    WatchedFolders::Change change;
    if (index.column() == ActiveColumn)
        change.active = on;
    else if (index.column() == AutoRenameColumn)
        change.autoRename = on;
    else
        return false;
    // The store's change signal brings the new value back into the rows (and to the watcher).
    if (const auto changed = WatchedFolders::change(*m_store, m_folders.at(index.row()).path, change); !changed) {
        Q_EMIT failed(changed.error().message);
        return false;
    }
    return true;
}

void WatchedFolderModel::reload()
{
    const auto fetched = m_store ? m_store->fetchFolders() : QList<WatchedFolder>();
    if (!fetched)
        Q_EMIT failed(fetched.error().message());
    const QList<WatchedFolder> folders = fetched.value_or(QList<WatchedFolder>());
    const bool sameRows = std::ranges::equal(folders, m_folders, {}, &WatchedFolder::id, &WatchedFolder::id);
    if (!sameRows) {
        beginResetModel();
        m_folders = folders;
        endResetModel();
        return;
    }
    m_folders = folders;
    if (!m_folders.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}
