#pragma once

#include "store/renamerecord.h"

#include <QSortFilterProxyModel>

class HistoryModel;

/**
 * The records the history table lists: those whose old or new name contains the search text in
 * any letter case (no trimming), and only reverted ones while the toggle is on. Keeps the order.
 */
class HistoryFilter final : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit HistoryFilter(HistoryModel *source, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(HistoryFilter)

    void setSearchText(const QString &text);
    void setRevertedOnly(bool revertedOnly);
    [[nodiscard]] const RenameRecord &record(const QModelIndex &index) const;
    /** The listed records, in list order (what an export writes). */
    [[nodiscard]] QList<RenameRecord> records() const;

protected:
    [[nodiscard]] bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    HistoryModel *m_source;
    QString m_needle; // lower-cased search text
    bool m_revertedOnly = false;
};
