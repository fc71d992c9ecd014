#include "ui/files/droptarget.h"

#include "ui/common/icons.h"
#include "ui/common/palette.h"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

/** The measures of one look. */
struct Measures {
    int iconPoints;
    int inset;
    qreal radius;
};

Measures measures(DropTarget::Look look)
{
    if (look == DropTarget::Look::Compact)
        return {28, 0, 8};
    return {48, 20, 12};
}

/** The drop symbol, drawn at its owner's scale and tone. */
class DropIcon final : public QWidget
{
public:
    DropIcon(const DropTarget *target, int points)
        : QWidget(const_cast<DropTarget *>(target))
        , m_target(target)
        , m_points(points)
    {
        setFixedSize(points * 3 / 2, points * 3 / 2);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const int side = qRound(m_points * m_target->dropScale());
        const QRect area(rect().center().x() - side / 2, rect().center().y() - side / 2, side, side);
        const QIcon icon = Icons::symbol(u"arrow.down.doc");
        QPixmap pixmap = icon.pixmap(area.size(), devicePixelRatioF());
        if (m_target->isTargeted()) {
            QPainter tint(&pixmap);
            tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tint.fillRect(pixmap.rect(), UIColors::accent(palette()));
        }
        painter.drawPixmap(area, pixmap);
    }

private:
    const DropTarget *m_target;
    const int m_points;
};

QLabel *centredLabel(const QString &text, qreal scale, QPalette::ColorRole role)
{
    auto *label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    label->setForegroundRole(role);
    return label;
}

} // namespace

DropTarget::DropTarget(QWidget *parent)
    : DropTarget(Look::Window, parent)
{
}

DropTarget::DropTarget(Look look, QWidget *parent)
    : QWidget(parent)
    , m_look(look)
    , m_icon(new DropIcon(this, measures(look).iconPoints))
    , m_scaleAnimation(new QPropertyAnimation(this, "dropScale", this))
    , m_opacityAnimation(new QPropertyAnimation(this, "dropOpacity", this))
{
    setAcceptDrops(true);
    m_stop = new QPushButton(Icons::symbol(u"xmark.circle"), qtTrId("drop.stopCounting"));
    m_stop->setAccessibleName(m_stop->text());
    m_stop->hide();
    connect(m_stop, &QPushButton::clicked, this, &DropTarget::stopRequested);
    if (look == Look::Compact) {
        setAccessibleName(qtTrId("menubar.drop"));
        setMinimumHeight(100);
        m_title = centredLabel(qtTrId("menubar.drop"), 0.92, QPalette::PlaceholderText);
        auto *column = new QVBoxLayout(this);
        column->setSpacing(4);
        column->addStretch(1);
        column->addWidget(m_icon, 0, Qt::AlignHCenter);
        column->addWidget(m_title);
        column->addWidget(m_stop, 0, Qt::AlignHCenter);
        column->addStretch(1);
        return;
    }
    setAccessibleName(qtTrId("drop.title"));

    m_title = centredLabel(qtTrId("drop.title"), 1.5, QPalette::PlaceholderText);
    QLabel *subtitle = centredLabel(qtTrId("drop.subtitle"), 0.95, QPalette::PlaceholderText);
    QLabel *orLabel = centredLabel(qtTrId("drop.or"), 1.0, QPalette::PlaceholderText);
    for (QLabel *faint : {subtitle, orLabel})
        faint->setStyleSheet(QStringLiteral("color:%1;").arg(UIColors::tertiary(palette()).name()));

    auto *pickFiles = new QPushButton(qtTrId("drop.pick"));
    auto *pickFolder = new QPushButton(qtTrId("drop.pickFolder"));
    connect(pickFiles, &QPushButton::clicked, this, &DropTarget::pickFilesRequested);
    connect(pickFolder, &QPushButton::clicked, this, &DropTarget::pickFolderRequested);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(pickFiles);
    buttons->addWidget(pickFolder);
    buttons->addStretch(1);

    const int inset = measures(look).inset;
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(inset + 16, inset + 16, inset + 16, inset + 16);
    column->setSpacing(16);
    column->addStretch(1);
    column->addWidget(m_icon, 0, Qt::AlignHCenter);
    column->addWidget(m_title);
    column->addWidget(subtitle);
    column->addWidget(orLabel);
    column->addLayout(buttons);
    column->addWidget(m_stop, 0, Qt::AlignHCenter);
    column->addStretch(1);
}

void DropTarget::setDropScale(qreal scale)
{
    m_dropScale = scale;
    m_icon->update();
}

void DropTarget::setDropOpacity(qreal opacity)
{
    m_dropOpacity = opacity;
    update();
}

void DropTarget::setCounting(bool counting)
{
    const QString idle = m_look == Look::Compact ? qtTrId("menubar.drop") : qtTrId("drop.title");
    m_title->setText(counting ? qtTrId("drop.counting") : idle);
    m_stop->setVisible(counting);
}

QList<QUrl> DropTarget::fileUrls(const QList<QUrl> &urls)
{
    QList<QUrl> files;
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            files << url;
    }
    return files;
}

void DropTarget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = UIColors::accent(palette());
    const bool compact = m_look == Look::Compact;
    const qreal line = compact ? 1.5 : m_targeted ? 3 : 2;
    const Measures look = measures(m_look);
    // The border lies inside the shape's edge.
    const QRectF shape = QRectF(rect()).adjusted(look.inset, look.inset, -look.inset, -look.inset);
    QColor fill = accent;
    fill.setAlphaF(float(m_dropOpacity));
    QPainterPath path;
    path.addRoundedRect(shape, look.radius, look.radius);
    painter.fillPath(path, fill);

    QColor border = m_targeted ? accent : UIColors::secondary(palette());
    if (!m_targeted)
        border.setAlphaF(0.3f);
    QPen pen(border, line);
    // Dash lengths are in units of the line width.
    if (compact)
        pen.setDashPattern({6 / line, 6 / line});
    else if (!m_targeted)
        pen.setDashPattern({8 / line, 8 / line});
    painter.setPen(pen);
    const qreal half = line / 2;
    painter.drawRoundedRect(shape.adjusted(half, half, -half, -half), look.radius - half, look.radius - half);
}

void DropTarget::dragEnterEvent(QDragEnterEvent *event)
{
    if (fileUrls(event->mimeData()->urls()).isEmpty())
        return;
    event->acceptProposedAction();
    setTargeted(true);
}

void DropTarget::dragLeaveEvent(QDragLeaveEvent *)
{
    setTargeted(false);
}

void DropTarget::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = fileUrls(event->mimeData()->urls());
    setTargeted(false);
    if (urls.isEmpty())
        return;
    event->acceptProposedAction();
    // A spring that presses the icon in and lets it bounce back.
    QEasingCurve press(QEasingCurve::OutBack);
    animate(m_scaleAnimation, 0.9, 300, press);
    QTimer::singleShot(150, this, [this] {
        QEasingCurve spring(QEasingCurve::OutElastic);
        spring.setAmplitude(1.0);
        spring.setPeriod(0.4);
        animate(m_scaleAnimation, 1.0, 300, spring);
    });
    Q_EMIT filesDropped(urls);
}

void DropTarget::setTargeted(bool targeted)
{
    if (targeted == m_targeted)
        return;
    m_targeted = targeted;
    m_title->setForegroundRole(targeted ? QPalette::WindowText : QPalette::PlaceholderText);
    const QEasingCurve easeInOut(QEasingCurve::InOutQuad);
    animate(m_scaleAnimation, targeted ? 1.15 : 1.0, 200, easeInOut);
    animate(m_opacityAnimation, targeted && m_look == Look::Window ? 0.08 : 0.0, 200, easeInOut);
    update();
}

void DropTarget::animate(QPropertyAnimation *animation, qreal to, int durationMs, const QEasingCurve &curve)
{
    animation->stop();
    animation->setDuration(durationMs);
    animation->setEasingCurve(curve);
    animation->setEndValue(to);
    animation->start();
}
