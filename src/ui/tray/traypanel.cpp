#include "ui/tray/traypanel.h"

#include "engine/analysisstarter.h"
#include "ui/common/icons.h"
#include "ui/common/manyfilesquestion.h"
#include "ui/common/palette.h"
#include "ui/files/droptarget.h"
#include "ui/files/joblistmodel.h"
#include "ui/tray/panelrowdelegate.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QWidget *progressState(QPushButton *stop, const RenameEngine &engine)
{
    auto *state = new QWidget;
    auto *bar = new QProgressBar;
    bar->setRange(0, 0); // indeterminate
    bar->setTextVisible(false);
    bar->setAccessibleName(qtTrId("menubar.analyzing"));
    auto *label = new QLabel(qtTrId("menubar.analyzing"));
    label->setAlignment(Qt::AlignCenter);
    QObject::connect(&engine, &RenameEngine::waitNoteChanged, label,
                     [label, &engine] { label->setText(engine.waitNote().value_or(qtTrId("menubar.analyzing"))); });
    auto *column = new QVBoxLayout(state);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(bar);
    column->addWidget(label);
    column->addWidget(stop, 0, Qt::AlignHCenter);
    return state;
}

} // namespace

TrayPanel::TrayPanel(const RenameEngine::Services &services, ObjectStore *store, DefaultsStore &defaults,
                     QWidget *parent)
    // A tool window rather than Qt::Popup: a popup needs a parent surface on Wayland and grabs
    // the pointer, and the panel has no parent window. Losing the focus closes it instead.
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
    , m_engine(new RenameEngine(services, this))
    , m_starter(new AnalysisStarter(*m_engine, defaults, m_engine))
    , m_question(new ManyFilesQuestion(*m_starter, this))
    , m_stop(new QPushButton(Icons::symbol(u"xmark.circle"), qtTrId("preview.stop")))
    , m_progress(progressState(m_stop, *m_engine))
    , m_drop(new DropTarget(DropTarget::Look::Compact))
    , m_rows(new QWidget)
    , m_list(new QListView)
    // A child of the engine, so it goes before the engine it reads from.
    , m_model(new JobListModel(*m_engine, m_engine))
    , m_cancel(new QPushButton(qtTrId("menubar.cancel")))
    , m_rename(new QPushButton(qtTrId("menubar.rename")))
    , m_pin(new QToolButton)
{
    m_engine->setStore(store);
    setWindowTitle(QStringLiteral("Namorix"));
    setAccessibleName(QStringLiteral("Namorix"));
    setFixedWidth(Width);

    m_list->setModel(m_model);
    m_list->setItemDelegate(new PanelRowDelegate(m_list));
    m_list->setAccessibleName(qtTrId("menubar.list"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->viewport()->setAutoFillBackground(false);

    // Return on a focused button presses it, as in a dialog; elsewhere it renames (keyPressEvent).
    for (QPushButton *button : {m_cancel, m_rename, m_stop}) {
        button->setAccessibleName(button->text());
        button->setAutoDefault(true);
    }
    m_rename->setDefault(true); // the prominent one
    m_rename->setPalette(UIColors::primaryButton(m_rename->palette()));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_rename);
    auto *rows = new QVBoxLayout(m_rows);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(12);
    rows->addWidget(m_list);
    rows->addLayout(buttons);

    // Dragging from a file manager takes the focus from the panel first: pinned, it stays for the drop.
    m_pin->setText(qtTrId("menubar.pin"));
    m_pin->setToolTip(qtTrId("menubar.pin.help"));
    m_pin->setAccessibleName(m_pin->text());
    m_pin->setAccessibleDescription(m_pin->toolTip());
    m_pin->setCheckable(true);
    // With its pin and its frame it reads as a switch when off too, not as a caption.
    m_pin->setIcon(Icons::symbol(u"pin"));
    m_pin->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto *column = new QVBoxLayout(this);
    column->setSpacing(12);
    column->addWidget(m_pin, 0, Qt::AlignRight);
    for (QWidget *state : {m_progress, static_cast<QWidget *>(m_drop), m_rows})
        column->addWidget(state);

    connect(m_drop, &DropTarget::filesDropped, this, [this](const QList<QUrl> &urls) { m_starter->start(urls); });
    connect(m_drop, &DropTarget::stopRequested, m_starter, &AnalysisStarter::stop);
    connect(m_stop, &QPushButton::clicked, m_starter, &AnalysisStarter::stop);
    connect(m_starter, &AnalysisStarter::countingChanged, this, [this](bool counting) {
        m_drop->setCounting(counting);
        showCurrent();
    });
    connect(m_cancel, &QPushButton::clicked, m_engine, &RenameEngine::clearJobs);
    connect(m_rename, &QPushButton::clicked, this, &TrayPanel::rename);
    connect(m_engine, &RenameEngine::jobsChanged, this, &TrayPanel::showCurrent);
    connect(m_engine, &RenameEngine::isProcessingChanged, this, &TrayPanel::showCurrent);
    showCurrent();
}

QWidget *TrayPanel::currentState() const
{
    for (QWidget *state : {m_progress, static_cast<QWidget *>(m_drop), m_rows}) {
        if (!state->isHidden())
            return state;
    }
    return nullptr;
}

void TrayPanel::showCurrent()
{
    QWidget *current = m_engine->isProcessing()     ? m_progress
                       : m_engine->jobs().isEmpty() ? static_cast<QWidget *>(m_drop)
                                                    : m_rows;
    m_progress->setVisible(current == m_progress);
    m_drop->setVisible(current == m_drop);
    m_rows->setVisible(current == m_rows);
    const int rows = int(std::min<qsizetype>(m_engine->jobs().size(), VisibleRows));
    const int rowHeight = m_list->itemDelegate()->sizeHint(QStyleOptionViewItem(), QModelIndex()).height();
    m_list->setFixedHeight(std::max(1, rows) * rowHeight + 2 * m_list->frameWidth());
    m_rename->setEnabled(!m_applying);
    layout()->activate();
    setFixedHeight(sizeHint().height());
    if (isVisible())
        focusCurrent();
}

void TrayPanel::focusCurrent()
{
    // Where a keyboard user acts: rename among suggestions, stop while analysing; the drop area
    // has nothing to focus, so the panel itself takes the keys (Esc).
    QWidget *target = currentState() == m_rows       ? static_cast<QWidget *>(m_rename)
                      : currentState() == m_progress ? static_cast<QWidget *>(m_stop)
                                                     : this;
    QWidget *focused = focusWidget();
    if (!focused || focused == this || !focused->isVisible() || !currentState()->isAncestorOf(focused))
        target->setFocus(Qt::ActiveWindowFocusReason);
}

bool TrayPanel::hiddenJustNow() const
{
    return m_hiddenByFocusLoss.isValid() && !m_hiddenByFocusLoss.hasExpired(400);
}

void TrayPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    focusCurrent();
}

void TrayPanel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isVisible() || m_pin->isChecked())
        return;
    // Like any tray pop-up it goes when the focus goes elsewhere, but not to its own question.
    for (const QWidget *active = QApplication::activeWindow(); active; active = active->parentWidget()) {
        if (active == this)
            return;
    }
    m_hiddenByFocusLoss.start();
    hide();
}

QCoro::Task<> TrayPanel::rename()
{
    if (m_applying)
        co_return;
    m_applying = true;
    showCurrent();
    const QPointer<TrayPanel> self(this);
    QCoro::Task<QList<RenameRecord>> applying = m_engine->applyApproved();
    co_await std::move(applying);
    if (!self)
        co_return;
    m_applying = false;
    showCurrent();
}

void TrayPanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentState() == m_rows) {
        if (m_rename->isEnabled())
            m_rename->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

QPoint TrayPanel::placement(const QRect &icon, const QSize &panel, const QRect &screen, const QPoint &cursor)
{
    QPoint at = cursor;
    if (!icon.isEmpty()) {
        const bool upperHalf = icon.center().y() < screen.center().y();
        at = QPoint(icon.center().x() - panel.width() / 2, upperHalf ? icon.bottom() + 1 : icon.top() - panel.height());
    }
    const int x = std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - panel.width()));
    const int y = std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - panel.height()));
    return {x, y};
}
