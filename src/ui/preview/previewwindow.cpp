#include "ui/preview/previewwindow.h"

#include "extraction/sandbox/extractionsandbox.h"
#include "ui/common/icons.h"
#include "ui/preview/previewcontent.h"

#include <QCoroFuture>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace {

QString dateText(const QLocale &locale, const QDateTime &date)
{
    return date.isValid() ? locale.toString(date.toLocalTime(), QLocale::ShortFormat) : QStringLiteral("–");
}

} // namespace

PreviewWindow::PreviewWindow(QWidget *parent, ExtractionSandbox *sandbox)
    : QWidget(parent, Qt::Window)
    , m_sandbox(sandbox ? *sandbox : ExtractionSandbox::shared())
    , m_stack(new QStackedWidget)
    , m_image(new QLabel)
    , m_text(new QPlainTextEdit)
    , m_info(new QWidget)
    , m_infoIcon(new QLabel)
    , m_infoText(new QLabel)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setMinimumSize(1, 1);
    m_text->setReadOnly(true);
    m_text->setFocusPolicy(Qt::NoFocus);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_infoIcon->setAlignment(Qt::AlignCenter);
    m_infoText->setAlignment(Qt::AlignCenter);
    m_infoText->setTextInteractionFlags(Qt::NoTextInteraction);
    auto *infoColumn = new QVBoxLayout(m_info);
    infoColumn->addStretch(1);
    infoColumn->addWidget(m_infoIcon);
    infoColumn->addWidget(m_infoText);
    infoColumn->addStretch(1);
    for (QWidget *view : {static_cast<QWidget *>(m_image), static_cast<QWidget *>(m_text), m_info})
        m_stack->addWidget(view);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_stack);
}

void PreviewWindow::showFile(const QUrl &url)
{
    m_url = url;
    setWindowTitle(url.fileName());
    setAccessibleName(qtTrId("preview.quickLook") + QStringLiteral(": ") + url.fileName());
    if (!isVisible())
        fitScreen();
    show();
    raise();
    activateWindow();
    render(url);
}

void PreviewWindow::fitScreen()
{
    // The screen of the window it opens from, less room for the frame the window manager adds;
    // where on it the window goes is the window manager's.
    const QWidget *opener = parentWidget() ? parentWidget()->window() : this;
    resize(QSize(640, 720).boundedTo(opener->screen()->availableGeometry().size() - QSize(40, 80)));
}

QWidget *PreviewWindow::currentView() const
{
    return m_stack->currentWidget();
}

void PreviewWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Escape:
        close();
        break;
    case Qt::Key_Up:
        Q_EMIT stepRequested(-1);
        break;
    case Qt::Key_Down:
        Q_EMIT stepRequested(1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void PreviewWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    scaleImage();
}

QCoro::Task<> PreviewWindow::render(QUrl url)
{
    const quint64 generation = ++m_generation;
    m_ready = false;
    if (m_stale)
        *m_stale = true; // a waiting render of the previous file is dropped
    const auto stale = m_stale = std::make_shared<std::atomic_bool>(false);
    const QPointer<PreviewWindow> self(this);
    const QString path = url.toLocalFile();
    const QSize bounds = renderBounds(size() * devicePixelRatioF());
    QFuture<PreviewSource> inspecting = QtConcurrent::run(inspectPreview, path);
    PreviewSource source = co_await inspecting;
    if (!self || generation != m_generation)
        co_return;
    PreviewContent &content = source.content;
    if (source.render) {
        QFuture<RenderResult> drawing = m_sandbox.render(std::move(*source.file), {*source.render, 0, bounds}, stale);
        const RenderResult drawn = co_await drawing;
        if (!self || generation != m_generation)
            co_return;
        if (drawn) {
            content.kind = PreviewContent::Kind::image;
            content.image = drawn->image;
        } else {
            content.failure = drawn.error().message;
        }
    }
    present(content);
    m_ready = true;
}

void PreviewWindow::present(const PreviewContent &content)
{
    switch (content.kind) {
    case PreviewContent::Kind::image:
        m_pixmap = QPixmap::fromImage(content.image);
        m_pixmap.setDevicePixelRatio(devicePixelRatioF());
        m_image->setAccessibleName(content.name);
        m_stack->setCurrentWidget(m_image);
        scaleImage();
        return;
    case PreviewContent::Kind::text:
        m_text->setPlainText(content.text);
        m_text->setAccessibleName(content.name);
        m_stack->setCurrentWidget(m_text);
        return;
    case PreviewContent::Kind::info:
    case PreviewContent::Kind::missing:
        break;
    }
    const QLocale german(QLocale::German, QLocale::Germany);
    const QIcon icon =
        QIcon::fromTheme(content.iconName, QIcon::fromTheme(content.genericIconName, Icons::symbol(u"doc.text")));
    m_infoIcon->setPixmap(icon.pixmap(96, 96));
    QStringList lines{QStringLiteral("<b>%1</b>").arg(content.name.toHtmlEscaped())};
    if (content.kind == PreviewContent::Kind::missing) {
        lines << qtTrId("quicklook.missing");
    } else {
        lines << qtTrId("quicklook.type") + QStringLiteral(": ") + content.typeName.toHtmlEscaped()
              << qtTrId("quicklook.size") + QStringLiteral(": ") + german.formattedDataSize(content.size)
              << qtTrId("quicklook.created") + QStringLiteral(": ") + dateText(german, content.created)
              << qtTrId("quicklook.modified") + QStringLiteral(": ") + dateText(german, content.modified);
        if (!content.failure.isEmpty())
            lines << qtTrId("quicklook.failed") + QStringLiteral(": ") + content.failure.toHtmlEscaped();
    }
    m_infoText->setText(lines.join(QStringLiteral("<br>")));
    m_info->setAccessibleName(content.name);
    m_stack->setCurrentWidget(m_info);
}

void PreviewWindow::scaleImage()
{
    if (m_pixmap.isNull() || m_stack->currentWidget() != m_image)
        return;
    const QSize target = m_image->size() * devicePixelRatioF();
    QPixmap scaled = m_pixmap.size().width() > target.width() || m_pixmap.size().height() > target.height()
                         ? m_pixmap.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                         : m_pixmap;
    scaled.setDevicePixelRatio(devicePixelRatioF());
    m_image->setPixmap(scaled);
}
