#pragma once

#include "store/renamerecord.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QTimer>

class ObjectStore;

/**
 * Every history record, newest first, as the five columns of the history table. Follows the
 * store live: each change of the records reloads the list once the event loop is idle, so a batch
 * of renames costs one reload. The relative times are refreshed every half minute.
 */
class HistoryModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { OriginalColumn, NewColumn, DateColumn, ProviderColumn, ActionColumn, ColumnCount };

    explicit HistoryModel(ObjectStore *store, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(HistoryModel)

    [[nodiscard]] const RenameRecord &record(int row) const { return m_records.at(row); }

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void reload();

    QPointer<ObjectStore> m_store;
    QList<RenameRecord> m_records;
    QTimer m_reload;
    QTimer m_clock;
};
