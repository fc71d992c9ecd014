#pragma once

#include <QCoroTask>
#include <QTimer>
#include <QWidget>

class AISettings;
class AppSettings;
class CompanionPoll;
class FolderWatcher;
class KVXClient;
class ObjectStore;
class QLabel;
class QProgressBar;
class RenameEngine;

/**
 * The row below the sections: provider and model, Korvex, history counts, watched folders (only
 * while some are watched), the engine's progress or error, and the files moving (with a stop). Every item follows its
 * core object live; `flash` shows a short note for a few seconds.
 */
class StatusBarView final : public QWidget
{
    Q_OBJECT

public:
    struct Sources {
        RenameEngine &engine;
        FolderWatcher &watcher;
        ObjectStore *store; ///< may be null: the history item then counts nothing
        AISettings &aiSettings;
        AppSettings &appSettings;
        KVXClient &companion;
    };

    static constexpr int FlashMs = 5000;
    /** Pixels the error text may take before it is cut (the whole text is in its tooltip). */
    static constexpr int ErrorWidth = 320;

    explicit StatusBarView(Sources sources, QWidget *parent = nullptr);

    void flash(const QString &text);

private:
    QWidget *item(QWidget *first, QWidget *second, QWidget *third = nullptr);
    QCoro::Task<> refreshProvider();
    void refreshCompanion(bool available);
    void refreshHistory();
    void refreshWatch();
    void refreshEngine();
    void refreshFileWork();

    Sources m_sources;
    CompanionPoll *m_poll;
    quint64 m_providerGeneration = 0;
    QWidget *m_providerItem;
    QLabel *m_providerDot, *m_providerName, *m_providerModel;
    QWidget *m_companionItem;
    QLabel *m_companionDot;
    QWidget *m_historyItem;
    QLabel *m_historyCount;
    QWidget *m_watchDivider, *m_watchItem;
    QLabel *m_watchCount;
    QWidget *m_progressItem;
    QProgressBar *m_progressBar;
    QLabel *m_progressText;
    QWidget *m_movingItem;
    QProgressBar *m_movingBar;
    QLabel *m_movingText;
    QWidget *m_errorItem;
    QLabel *m_errorText;
    QLabel *m_flash;
    QTimer m_flashTimer;
};
