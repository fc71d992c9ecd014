#pragma once

#include <QCoroTask>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class JobDelegate;
class QAction;
class JobListModel;
#include "ui/preview/previewwindow.h"
class QLabel;
class QListView;
class QPushButton;
class QToolButton;
class RenameEngine;

/**
 * The review of finished suggestions: one row per job and the bar below with the error line, the
 * diff toggle, "approved / total", cancel and rename. Double-click or Space opens the preview.
 * Files dropped on the list are handed on through filesDropped (to join it); Delete takes the
 * selected rows out, Ctrl+A and Ctrl+Shift+A tick all or none. Only the user empties the list.
 */
class ReviewView final : public QWidget
{
    Q_OBJECT

public:
    explicit ReviewView(RenameEngine &engine, QWidget *parent = nullptr);

    [[nodiscard]] QListView *list() const { return m_list; }
    [[nodiscard]] JobDelegate *delegate() const { return m_delegate; }
    /** The preview window, once opened. */
    [[nodiscard]] PreviewWindow *preview() const { return m_preview; }

Q_SIGNALS:
    void filesDropped(const QList<QUrl> &urls);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshBar();
    void setShowDiff(bool show);
    void openPreview(int row);
    /** The row's context menu: "Warum dieser Name?" opens the explanation panel. */
    void showRowMenu(const QPoint &at);
    void stepPreview(int delta);
    void removeSelected();
    QCoro::Task<> rename();

    RenameEngine &m_engine;
    JobListModel *m_model;
    JobDelegate *m_delegate;
    QListView *m_list;
    QWidget *m_errorItem;
    QLabel *m_errorText;
    QToolButton *m_diffToggle;
    QLabel *m_count;
    QLabel *m_progress;
    QPushButton *m_stop;
    QPushButton *m_cancel;
    QPushButton *m_rename;
    QAction *m_tickAll;
    QAction *m_tickNone;
    QAction *m_remove;
    QPointer<PreviewWindow> m_preview;
    bool m_applying = false;
};
