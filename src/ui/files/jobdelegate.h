#pragma once

#include "naming/namediff.h"

#include <QHash>
#include <QStyledItemDelegate>

/**
 * Draws one review row: approval toggle, file icon, old name over new name with the differences
 * marked (or the editable name while the diff is off, or why the analysis failed), confidence
 * badge and the preview button. Clicks on toggle, name field and button act on the row. The name
 * editor (F2 or Return, in either mode) starts with the stem selected; a name whose extension
 * differs from the file's is not written but handed on through `extensionChangeRequested`.
 */
class JobDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit JobDelegate(QObject *parent = nullptr);

    void setShowDiff(bool show) { m_showDiff = show; }
    [[nodiscard]] bool showDiff() const { return m_showDiff; }

    /** Where a row of `row` draws its parts (also what the tests click). */
    [[nodiscard]] static QRect toggleRect(const QRect &row);
    [[nodiscard]] static QRect eyeRect(const QRect &row);
    [[nodiscard]] QRect nameRect(const QRect &row, const QString &badge) const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    /** The painted Quick Look button has its tooltip like a real one. */
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

Q_SIGNALS:
    void quickLookRequested(const QModelIndex &index);
    /** The user typed `name` for the job `id`, with an extension other than its file's. */
    void extensionChangeRequested(const QUuid &id, const QString &name) const;
    /** The user typed what is no file name; `reason` says why, in German. */
    void nameRefused(const QString &reason) const;

private:
    [[nodiscard]] const NameDiff::Sides &diff(const QString &oldName, const QString &newName) const;
    [[nodiscard]] QRect badgeRect(const QRect &row, const QString &badge) const;
    [[nodiscard]] QFont calloutFont() const;
    [[nodiscard]] QFont captionFont() const;

    bool m_showDiff = true;
    mutable QHash<QString, NameDiff::Sides> m_diffs; ///< by old + "/" + new; a name never holds "/"
};
