#pragma once

#include "engine/renameengine.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QWidget>

class AnalysisStarter;
class DefaultsStore;
class DropTarget;
class ManyFilesQuestion;
class JobListModel;
class ObjectStore;
class QListView;
class QPushButton;
class QToolButton;

/**
 * The tray's small window, 300 points wide: while its engine analyses a busy indicator, with
 * nothing to review a dashed drop area, otherwise one row per suggestion (current name over new
 * name) with "Abbrechen" and "Umbenennen". Works with an engine of its own, so its suggestions
 * never mix with the main window's; failures stay in that engine's error and are not shown.
 * Drops go through the same safeguards as the window's (AnalysisStarter): nothing before the
 * terms are accepted, a question above 500 files, and a stop button while counting or analysing.
 * Like a tray pop-up it closes on Esc or when another window takes the focus, unless pinned with
 * "Offen halten" (so that files can be dragged in from a file manager); Return renames.
 */
class TrayPanel final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Width = 300;
    /** Rows shown before the list scrolls. */
    static constexpr int VisibleRows = 6;

    TrayPanel(const RenameEngine::Services &services, ObjectStore *store, DefaultsStore &defaults,
              QWidget *parent = nullptr);

    [[nodiscard]] RenameEngine &engine() { return *m_engine; }
    [[nodiscard]] AnalysisStarter &starter() { return *m_starter; }
    [[nodiscard]] ManyFilesQuestion *question() const { return m_question; }
    [[nodiscard]] QPushButton *stopButton() const { return m_stop; }
    [[nodiscard]] DropTarget *dropTarget() const { return m_drop; }
    [[nodiscard]] QListView *list() const { return m_list; }
    [[nodiscard]] QPushButton *cancelButton() const { return m_cancel; }
    [[nodiscard]] QPushButton *renameButton() const { return m_rename; }
    [[nodiscard]] QToolButton *pinButton() const { return m_pin; }
    /** The one of the three states on screen. */
    [[nodiscard]] QWidget *currentState() const;

    /**
     * Where the panel's top-left goes: under an icon in the upper half of the screen, over one in
     * the lower half, centred on it and kept inside the screen; at `cursor` when the icon's place
     * is unknown (an empty rectangle).
     */
    [[nodiscard]] static QPoint placement(const QRect &icon, const QSize &panel, const QRect &screen,
                                          const QPoint &cursor);

    /** Whether losing the focus hid it a moment ago: the click on the tray icon that took it. */
    [[nodiscard]] bool hiddenJustNow() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void showCurrent();
    void focusCurrent();
    QCoro::Task<> rename();

    RenameEngine *m_engine;
    AnalysisStarter *m_starter;
    ManyFilesQuestion *m_question;
    QPushButton *m_stop;
    QWidget *m_progress;
    DropTarget *m_drop;
    QWidget *m_rows;
    QListView *m_list;
    JobListModel *m_model;
    QPushButton *m_cancel;
    QPushButton *m_rename;
    QToolButton *m_pin;
    bool m_applying = false;
    QElapsedTimer m_hiddenByFocusLoss;
};
