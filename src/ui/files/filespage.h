#pragma once

#include <QList>
#include <QPointer>
#include <QStackedWidget>
#include <QUrl>

class AnalysisProgressView;
class AnalysisStarter;
class DropTarget;
class ManyFilesQuestion;
class NavigationState;
#include <QFileDialog>
class RenameEngine;
class ReviewView;

/**
 * The files section: the drop target while the engine has neither jobs nor a running analysis,
 * else the progress display while it analyses, else the review.
 */
class FilesPage final : public QStackedWidget
{
    Q_OBJECT

public:
    FilesPage(AnalysisStarter &starter, NavigationState &navigation, QWidget *parent = nullptr);

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
    /** The dialog opened last, while it is open. */
    [[nodiscard]] QFileDialog *openDialog() const { return m_dialog; }

private:
    void showCurrent();
    void openDialog(bool folders);

    RenameEngine &m_engine;
    AnalysisStarter &m_starter;
    NavigationState &m_navigation;
    ManyFilesQuestion *m_question;
    DropTarget *m_dropTarget;
    AnalysisProgressView *m_progress;
    ReviewView *m_review;
    QPointer<QFileDialog> m_dialog;
};
