#pragma once

#include "engine/renamejob.h"
#include "store/renamerecord.h"

#include <QCoroTask>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QUrl>
#include <QUuid>
#include <QWidget>

#include <optional>

class QMessageBox;

class JobDelegate;
class JobFilterModel;
class QAction;
class JobListModel;
#include "ui/preview/previewwindow.h"
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QToolButton;
class RenameEngine;

/**
 * The review of finished suggestions: one row per job and the bar below with the error line, the
 * diff toggle, "approved / total", cancel and rename. Keys as in a file manager's list: Space
 * ticks or unticks the selected rows, Return or F2 edits the current name, Ctrl+Space and
 * double-click open the preview, Delete takes the selected rows out, Ctrl+A and Ctrl+Shift+A tick
 * all or none of the rows shown. Above the list, the rows can be narrowed by state and by a text
 * in either name (Ctrl+F; Esc empties the field); emptying the list shows all again. Files dropped on the list are
 * handed on through filesDropped (to join it). Only the user empties the list; what renaming and discarding came to
 * goes out through `renamed` and `discarded`, so that it can be taken back.
 */
class ReviewView final : public QWidget
{
    Q_OBJECT

public:
    explicit ReviewView(RenameEngine &engine, QWidget *parent = nullptr);

    [[nodiscard]] QListView *list() const { return m_list; }
    [[nodiscard]] JobDelegate *delegate() const { return m_delegate; }
    [[nodiscard]] JobFilterModel *filter() const { return m_filter; }
    [[nodiscard]] QComboBox *stateFilter() const { return m_stateFilter; }
    [[nodiscard]] QLineEdit *textFilter() const { return m_textFilter; }
    /** The preview window, once opened. */
    [[nodiscard]] PreviewWindow *preview() const { return m_preview; }
    /** The question "Umbenennen" asks about ticked rows a filter hides, while it is open. */
    [[nodiscard]] QMessageBox *hiddenQuestion() const { return m_question; }

    /** Applies the rows whose rename failed again; rows whose analysis failed are analysed again. */
    void retryFailed();

Q_SIGNALS:
    void filesDropped(const QList<QUrl> &urls);
    /** An apply ended: the records of what it renamed, and how many ticked rows it could not. */
    void renamed(const QList<RenameRecord> &records, int failed);
    /** "Abbrechen" emptied the list; these were its jobs. */
    void discarded(const QList<RenameJob> &jobs);
    /** A name typed in a row is no file name; `reason` says why. */
    void nameRefused(const QString &reason);
    /** "Neu analysieren": the selected rows' files, to be asked about anew (no kept reply). */
    void askAgainRequested(const QList<QUrl> &files);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshBar();
    [[nodiscard]] QWidget *makeFilterRow();
    /** Ticks or unticks the rows shown: all jobs, unless a filter hides some. */
    void tickShown(bool approved);
    [[nodiscard]] QSet<QUuid> shownIds() const;
    /** "Umbenennen": the ticked rows; with a filter on, the user says whether the hidden ticked ones go too. */
    void renameTicked();
    void setShowDiff(bool show);
    void openPreview(int row);
    /** The row's context menu: "Warum dieser Name?" opens the explanation panel. */
    void showRowMenu(const QPoint &at);
    void stepPreview(int delta);
    void removeSelected();
    void askAgain();
    void toggleSelected();
    void discard();
    /** Asks whether the extension typed for job `id` is meant; keeping it puts the file's back. */
    void confirmExtension(const QUuid &id, const QString &name);
    QCoro::Task<> rename(std::optional<QList<QUuid>> only = std::nullopt);

    RenameEngine &m_engine;
    JobListModel *m_model;
    JobFilterModel *m_filter;
    JobDelegate *m_delegate;
    QListView *m_list;
    QComboBox *m_stateFilter = nullptr;
    QLineEdit *m_textFilter = nullptr;
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
    QAction *m_askAgain;
    QPointer<PreviewWindow> m_preview;
    /** The question about hidden ticked rows while it is open. */
    QPointer<QMessageBox> m_question;
    bool m_applying = false;
};
