#include "historymodel.h"

#include "relativetime.h"
#include "store/objectstore.h"

#include <QFont>
#include <QGuiApplication>
#include <QLocale>
#include <QPalette>

HistoryModel::HistoryModel(ObjectStore *store, QObject *parent)
    : QAbstractTableModel(parent)
    , m_store(store)
{
    m_reload.setSingleShot(true);
    m_reload.setInterval(0);
    connect(&m_reload, &QTimer::timeout, this, &HistoryModel::reload);
    if (store) {
        connect(store, &ObjectStore::changed, this, [this](ObjectStore::Kind kind) {
            if (kind == ObjectStore::Kind::records)
                m_reload.start();
        });
    }
    m_clock.setInterval(30'000);
    connect(&m_clock, &QTimer::timeout, this, [this] {
        if (!m_records.isEmpty())
            Q_EMIT dataChanged(index(0, DateColumn), index(rowCount() - 1, DateColumn), {Qt::DisplayRole});
    });
    m_clock.start();
    reload();
}

void HistoryModel::reload()
{
    auto fetched = m_store ? m_store->fetchRecords() : std::expected<QList<RenameRecord>, StoreError>{};
    if (!fetched)
        return; // a failed read keeps the list shown
    beginResetModel();
    m_records = std::move(*fetched);
    endResetModel();
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_records.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const RenameRecord &r = m_records.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case OriginalColumn:
            return r.originalName;
        case NewColumn:
            return r.newName;
        case DateColumn:
            return relativeTimeText(r.timestamp, QDateTime::currentDateTimeUtc());
        case ProviderColumn:
            return r.providerUsed;
        default:
            return r.reverted ? qtTrId("history.reverted") : qtTrId("history.revert");
        }
    case Qt::ToolTipRole:
        switch (column) {
        case OriginalColumn:
            return r.originalPath;
        case NewColumn:
            return r.newPath;
        case DateColumn:
            return QLocale(QLocale::German).toString(r.timestamp.toLocalTime(), QLocale::LongFormat);
        case ActionColumn:
            return r.reverted ? QVariant() : qtTrId("history.revert.tooltip").arg(r.originalName);
        default:
            return {};
        }
    case Qt::FontRole:
        if (column == OriginalColumn && r.reverted) {
            QFont font;
            font.setStrikeOut(true);
            return font;
        }
        return {};
    case Qt::ForegroundRole:
        // The revert "button" is borderless: link-coloured text; the done state is tertiary text.
        if (column == ActionColumn)
            return QGuiApplication::palette().brush(r.reverted ? QPalette::PlaceholderText : QPalette::Link);
        return {};
    case Qt::TextAlignmentRole:
        return column == ActionColumn ? QVariant(Qt::AlignCenter) : QVariant(Qt::AlignVCenter | Qt::AlignLeft);
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case OriginalColumn:
        return qtTrId("history.original");
    case NewColumn:
        return qtTrId("history.new");
    case DateColumn:
        return qtTrId("history.date");
    case ProviderColumn:
        return qtTrId("history.provider");
    default:
        return {};
    }
}
