#include "ui/status/statusbarview.h"

#include "ai/aisettings.h"
#include "ai/providercatalogue.h"
#include "automation/folderwatcher.h"
#include "common/rawenum.h"
#include "common/stringtable.h"
#include "engine/filework.h"
#include "engine/renameengine.h"
#include "settings/appsettings.h"
#include "store/objectstore.h"
#include "ui/common/icons.h"
#include "ui/common/palette.h"
#include "ui/status/companionpoll.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QToolButton>

#include <algorithm>

namespace {

QLabel *dot()
{
    auto *label = new QLabel;
    label->setFixedSize(6, 6);
    return label;
}

void paintDot(QLabel *label, const QColor &color)
{
    label->setStyleSheet(QStringLiteral("background:%1;border-radius:3px;").arg(color.name()));
}

QLabel *symbolLabel(QStringView symbol)
{
    auto *label = new QLabel;
    label->setPixmap(Icons::symbol(symbol).pixmap(12, 12));
    return label;
}

QFrame *divider()
{
    auto *line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(12);
    return line;
}

} // namespace

StatusBarView::StatusBarView(Sources sources, QWidget *parent)
    : QWidget(parent)
    , m_sources(sources)
    , m_poll(new CompanionPoll(sources.companion, sources.appSettings, this))
{
    QFont caption = font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    setFont(caption);
    setForegroundRole(QPalette::PlaceholderText);

    m_providerDot = dot();
    m_providerName = new QLabel;
    m_providerModel = new QLabel;
    m_providerModel->setStyleSheet(QStringLiteral("color:%1;").arg(UIColors::tertiary(palette()).name()));
    m_providerItem = item(m_providerDot, m_providerName, m_providerModel);

    auto *kvx = new QLabel(qtTrId("status.kvx"));
    QFont medium = caption;
    medium.setWeight(QFont::Medium);
    kvx->setFont(medium);
    m_companionDot = dot();
    m_companionItem = item(kvx, m_companionDot);

    m_historyCount = new QLabel;
    m_historyItem = item(symbolLabel(u"clock"), m_historyCount);

    m_watchCount = new QLabel;
    m_watchItem = item(symbolLabel(u"folder.badge.gearshape"), m_watchCount);
    m_watchDivider = divider();

    m_progressBar = new QProgressBar;
    m_progressBar->setRange(0, 0);
    m_progressBar->setTextVisible(false);
    m_progressBar->setFixedSize(48, 8);
    m_progressBar->setAccessibleName(qtTrId("preview.analyzing"));
    m_progressText = new QLabel;
    m_progressItem = item(m_progressBar, m_progressText);
    m_movingBar = new QProgressBar;
    m_movingBar->setTextVisible(false);
    m_movingBar->setFixedSize(48, 8);
    m_movingText = new QLabel;
    auto *stop = new QToolButton;
    stop->setObjectName(QStringLiteral("fileWorkStop"));
    stop->setText(qtTrId("progress.stop"));
    stop->setToolTip(qtTrId("progress.stop.help"));
    stop->setAutoRaise(true);
    connect(stop, &QToolButton::clicked, this, [this] { m_sources.engine.fileWork().stop(); });
    m_movingItem = item(m_movingBar, m_movingText, stop);
    m_movingItem->setObjectName(QStringLiteral("fileWorkProgress"));
    m_errorText = new QLabel;
    m_errorText->setStyleSheet(QStringLiteral("color:%1;").arg(UIColors::orange().name()));
    m_errorItem = item(symbolLabel(u"exclamationmark.triangle"), m_errorText);

    m_flash = new QLabel;
    m_flash->hide();
    m_flashTimer.setSingleShot(true);
    m_flashTimer.setInterval(FlashMs);
    connect(&m_flashTimer, &QTimer::timeout, m_flash, &QLabel::hide);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 6, 12, 6);
    row->setSpacing(16);
    for (QWidget *widget :
         {m_providerItem, static_cast<QWidget *>(divider()), m_companionItem, static_cast<QWidget *>(divider()),
          m_historyItem, m_watchDivider, m_watchItem, m_progressItem, m_movingItem, m_errorItem})
        row->addWidget(widget);
    row->addStretch(1);
    row->addWidget(m_flash);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    AISettings &ai = m_sources.aiSettings;
    for (auto signal : {&AISettings::providerChanged, &AISettings::modelChanged, &AISettings::apiKeyChanged})
        connect(&ai, signal, this, [this] { refreshProvider(); });
    connect(m_poll, &CompanionPoll::availabilityChanged, this, &StatusBarView::refreshCompanion);
    if (m_sources.store)
        connect(m_sources.store, &ObjectStore::changed, this, [this](ObjectStore::Kind kind) {
            if (kind == ObjectStore::Kind::records)
                refreshHistory();
        });
    connect(&m_sources.watcher, &FolderWatcher::watchedPathsChanged, this, &StatusBarView::refreshWatch);
    RenameEngine &engine = m_sources.engine;
    for (auto signal : {&RenameEngine::isProcessingChanged, &RenameEngine::progressChanged, &RenameEngine::errorChanged,
                        &RenameEngine::waitNoteChanged})
        connect(&engine, signal, this, &StatusBarView::refreshEngine);
    connect(&m_sources.engine.fileWork(), &FileWork::progressChanged, this, &StatusBarView::refreshFileWork);

    refreshProvider();
    refreshCompanion(false);
    refreshHistory();
    refreshWatch();
    refreshEngine();
    refreshFileWork();
    m_poll->start();
}

void StatusBarView::flash(const QString &text)
{
    m_flash->setText(text);
    m_flash->setAccessibleName(text);
    m_flash->show();
    m_flashTimer.start();
}

QWidget *StatusBarView::item(QWidget *first, QWidget *second, QWidget *third)
{
    auto *box = new QWidget;
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    for (QWidget *part : {first, second, third}) {
        if (part)
            layout->addWidget(part, 0, Qt::AlignVCenter);
    }
    return box;
}

QCoro::Task<> StatusBarView::refreshProvider()
{
    AISettings &ai = m_sources.aiSettings;
    const QString name = ProviderCatalogue::facts(ai.provider()).displayName;
    m_providerName->setText(name);
    m_providerModel->setText(ai.effectiveModel());
    const QPointer<StatusBarView> self(this);
    const quint64 generation = ++m_providerGeneration;
    QCoro::Task<bool> checking = ai.isConfigured();
    const bool configured = co_await std::move(checking);
    if (!self || generation != m_providerGeneration)
        co_return; // a later change is being checked
    const bool available = AISettings::isAvailable(ai.provider());
    paintDot(m_providerDot, configured && available ? UIColors::green() : UIColors::red());
    // The dot's colour in words, for screen readers.
    m_providerItem->setAccessibleName((name + u' ' + ai.effectiveModel()).trimmed());
    m_providerItem->setAccessibleDescription(!available   ? qtTrId("settings.unavailable")
                                             : configured ? qtTrId("status.provider.ready")
                                                          : qtTrId("status.provider.missingKey"));
}

void StatusBarView::refreshCompanion(bool available)
{
    paintDot(m_companionDot, available ? UIColors::green() : UIColors::grey());
    // Many users never heard of the companion: the tip says what it is and that nothing is missing without it.
    m_companionItem->setToolTip(available ? qtTrId("status.kvx.connected.help")
                                          : qtTrId("status.kvx.unavailable.help"));
    m_companionItem->setAccessibleName(available ? qtTrId("status.kvx.connected") : qtTrId("status.kvx.unavailable"));
    m_companionItem->setAccessibleDescription(m_companionItem->toolTip());
}

void StatusBarView::refreshHistory()
{
    qsizetype total = 0;
    qsizetype renamed = 0;
    if (m_sources.store) {
        // One COUNT query: loading the records to count them took a third of a second at 50 000.
        if (const auto counted = m_sources.store->countRecords()) {
            total = counted->records;
            renamed = counted->notReverted;
        }
    }
    m_historyCount->setText(QString::number(renamed));
    const QString help = qtTrId("status.history.renamed", int(renamed)) + QStringLiteral(", ") +
                         StringTable::text("status.history.total", int(total));
    m_historyItem->setToolTip(help);
    m_historyItem->setAccessibleName(help);
}

void StatusBarView::refreshWatch()
{
    const qsizetype count = m_sources.watcher.watchedPaths().size();
    m_watchCount->setText(QString::number(count));
    const QString help = qtTrId("status.watch.help").arg(count);
    m_watchItem->setToolTip(help);
    m_watchItem->setAccessibleName(help);
    m_watchItem->setVisible(count > 0);
    m_watchDivider->setVisible(count > 0);
}

void StatusBarView::refreshFileWork()
{
    const FileWork &work = m_sources.engine.fileWork();
    m_movingItem->setVisible(work.isBusy());
    // Before the first report the batch is still being prepared: a busy bar.
    m_movingBar->setRange(0, work.total());
    m_movingBar->setValue(work.done());
    m_movingText->setText(work.total() > 0 ? work.progressText() : QString());
    m_movingItem->setAccessibleName(m_movingText->text());
}

void StatusBarView::refreshEngine()
{
    const RenameEngine &engine = m_sources.engine;
    const bool processing = engine.isProcessing();
    m_progressItem->setVisible(processing);
    const QString counted = qtTrId("status.progress").arg(engine.processedCount()).arg(engine.totalCount());
    m_progressText->setText(engine.waitNote() ? counted + QStringLiteral(" · ") + *engine.waitNote() : counted);
    m_progressItem->setAccessibleName(m_progressText->text());
    const bool showError = !processing && engine.shownError().has_value();
    m_errorItem->setVisible(showError);
    // Cut to its room with the whole text in the tooltip and for screen readers: a long reason
    // must not push the rest of the bar off the window's edge.
    const QString error = engine.shownError().value_or(QString());
    m_errorText->setText(m_errorText->fontMetrics().elidedText(error, Qt::ElideMiddle, ErrorWidth));
    m_errorText->setToolTip(error);
    m_errorItem->setToolTip(error);
    m_errorItem->setAccessibleName(error);
}
