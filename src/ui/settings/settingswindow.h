#pragma once

#include "ui/settings/autostartentry.h"

#include <QWidget>

class AISettings;
class UsageLedger;
class AISettingsTab;
class APISettingsTab;
class AppSettings;
class DefaultsStore;
class GeneralSettingsTab;
class KVXClient;
class ObjectStore;
class QTabWidget;
class RenameRules;
class StoredCountSection;

/**
 * The settings window: four tabs (general, rules, AI, REST API), 520 × 480 and resizable. Every
 * control writes straight into the stored settings, so there is nothing to save or cancel.
 */
class SettingsWindow final : public QWidget
{
    Q_OBJECT

public:
    struct Services {
        DefaultsStore &defaults;
        AppSettings &appSettings;
        AISettings &aiSettings;
        UsageLedger &ledger;
        KVXClient &companion;
        RenameRules &rules;
        AutostartEntry autostart = {};
        /** Where the reply cache and the learned senders are kept; none: the AI tab offers neither section. */
        ObjectStore *store = nullptr;
    };

    explicit SettingsWindow(Services services, QWidget *parent = nullptr);

    [[nodiscard]] QTabWidget *tabs() const { return m_tabs; }
    [[nodiscard]] GeneralSettingsTab *generalTab() const { return m_general; }
    [[nodiscard]] AISettingsTab *aiTab() const { return m_ai; }
    [[nodiscard]] APISettingsTab *apiTab() const { return m_api; }
    /** The reply cache's section on the AI tab; null without a store. */
    [[nodiscard]] StoredCountSection *cacheSection() const { return m_cache; }
    [[nodiscard]] StoredCountSection *learnedSection() const { return m_learned; }

private:
    QTabWidget *m_tabs;
    GeneralSettingsTab *m_general;
    AISettingsTab *m_ai;
    APISettingsTab *m_api;
    StoredCountSection *m_cache = nullptr;
    StoredCountSection *m_learned = nullptr;
};
