#pragma once

#include "engine/renamejob.h"
#include "store/renamerecord.h"

#include <QCoroTask>
#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class AnalysisProgressView;
class AnalysisStarter;
class DropTarget;
class ManyFilesQuestion;
class NavigationState;
#include <QFileDialog>
class QStackedWidget;
class RenameEngine;
class DefaultsStore;
class ResultBar;
class ReviewView;

/**
 * The files section: the drop target while the engine has neither jobs nor a running analysis,
 * else the progress display while it analyses, else the review. Above them, what came of the
 * user's last rename or discard, with "Rückgängig" or "Wiederherstellen" (it outlives the list).
 */
class FilesPage final : public QWidget
{
    Q_OBJECT

public:
    /** `defaults` keeps the folder the open dialogs last showed. */
    FilesPage(AnalysisStarter &starter, NavigationState &navigation, DefaultsStore &defaults,
              QWidget *parent = nullptr);

    /**
     * Starts an analysis of files and folders as a drop does, through the starter's safeguards
     * (asking first when they are many, waiting for the terms), and shows the files section.
     */
    void analyze(const QList<QUrl> &urls);
    /** The open dialogs: several files, or a folder; non-blocking. */
    void pickFiles();
    void pickFolder();

    [[nodiscard]] DropTarget *dropTarget() const { return m_dropTarget; }
    [[nodiscard]] AnalysisProgressView *progressView() const { return m_progress; }
    [[nodiscard]] ReviewView *reviewView() const { return m_review; }
    [[nodiscard]] ManyFilesQuestion *question() const { return m_question; }
    [[nodiscard]] ResultBar *resultBar() const { return m_result; }
    /** The drop target, the progress display or the review, whichever is shown. */
    [[nodiscard]] QWidget *currentWidget() const;
    /** The dialog opened last, while it is open. */
    [[nodiscard]] QFileDialog *openDialog() const { return m_dialog; }

private:
    void showCurrent();
    void openDialog(bool folders);
    void reportRenamed(const QList<RenameRecord> &records, int failed);
    /** Hides the result of the rename `batch` once all of it is undone, wherever that happens. */
    void followBatch(std::optional<qint64> batch);
    void reportDiscarded(const QList<RenameJob> &jobs);
    QCoro::Task<> undo(qint64 batch);

    RenameEngine &m_engine;
    AnalysisStarter &m_starter;
    NavigationState &m_navigation;
    ManyFilesQuestion *m_question;
    DefaultsStore &m_defaults;
    ResultBar *m_result;
    QMetaObject::Connection m_batchWatch;
    QStackedWidget *m_stack;
    DropTarget *m_dropTarget;
    AnalysisProgressView *m_progress;
    ReviewView *m_review;
    QPointer<QFileDialog> m_dialog;
};
