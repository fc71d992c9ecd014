#include "ui/settings/settingswindow.h"

#include "ui/common/icons.h"
#include "ui/rules/rulestab.h"
#include "ui/settings/aisettingstab.h"
#include "ui/settings/apisettingstab.h"
#include "ui/settings/generalsettingstab.h"
#include "ui/settings/storedcountsection.h"

#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

SettingsWindow::SettingsWindow(Services services, QWidget *parent)
    // A dialog to the window manager: it stays with the main window and opens centred on it.
    : QWidget(parent, Qt::Dialog)
    , m_tabs(new QTabWidget)
    , m_general(
          new GeneralSettingsTab({services.defaults, services.appSettings, services.companion, services.autostart}))
    , m_ai(new AISettingsTab(services.aiSettings, services.ledger))
    , m_api(new APISettingsTab(services.appSettings))
{
    if (services.store) {
        // Below the tab's own rows, before the stretch that ends its column.
        m_cache = StoredCountSection::replyCache(*services.store);
        m_learned = StoredCountSection::learnedSenders(*services.store);
        auto *aiColumn = static_cast<QBoxLayout *>(m_ai->layout());
        aiColumn->insertWidget(aiColumn->count() - 1, m_cache);
        aiColumn->insertWidget(aiColumn->count() - 1, m_learned);
    }
    setWindowTitle(qtTrId("settings.title"));
    m_tabs->setAccessibleName(qtTrId("settings.title"));
    m_tabs->addTab(m_general, Icons::symbol(u"gear"), qtTrId("settings.general"));
    m_tabs->addTab(new RulesTab(services.rules), Icons::symbol(u"list.bullet.rectangle"), qtTrId("rules.title"));
    m_tabs->addTab(m_ai, Icons::symbol(u"brain"), qtTrId("settings.ai"));
    m_tabs->addTab(m_api, Icons::symbol(u"network"), qtTrId("settings.api"));
    // Resizable; the layout keeps it at least as large as the tabs' content needs.
    auto *column = new QVBoxLayout(this);
    column->addWidget(m_tabs);
    resize(520, 480);
    // No QDialog (nothing to accept), yet closed by the keys that close one.
    for (const QKeySequence::StandardKey keys : {QKeySequence::Cancel, QKeySequence::Close})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
}
