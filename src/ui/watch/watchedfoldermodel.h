#pragma once

#include "store/watchedfolder.h"

#include <QAbstractTableModel>
#include <QPointer>

class ObjectStore;

/**
 * The watched folders, oldest first, live from the store, in four columns: folder (name, with
 * the path as subtitle), automatic renaming and active (checkable; a change is saved at once),
 * and the remove button's cell. A store change that keeps the same folders updates the rows in
 * place, so the current cell and the focus survive a toggle.
 */
class WatchedFolderModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { FolderColumn, AutoRenameColumn, ActiveColumn, RemoveColumn, ColumnCount };

    explicit WatchedFolderModel(ObjectStore *store, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(WatchedFolderModel)

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

    [[nodiscard]] const QList<WatchedFolder> &folders() const { return m_folders; }

Q_SIGNALS:
    /** A save failed; `message` is the store's German reason. */
    void failed(const QString &message);

private:
    void reload();

    QPointer<ObjectStore> m_store;
    QList<WatchedFolder> m_folders;
};
