#include "ui/about/aboutview.h"

#include "extraction/sandbox/extractionsandbox.h"
#include "ui/common/icons.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

#ifndef NAMORIX_VERSION
#define NAMORIX_VERSION ""
#endif
#ifndef NAMORIX_BUILD
#define NAMORIX_BUILD ""
#endif

namespace {

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("–") : text;
}

QLabel *centred(const QString &text, qreal scale, QFont::Weight weight = QFont::Normal)
{
    auto *label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setAccessibleName(text);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setWeight(weight);
    label->setFont(font);
    return label;
}

QString sandboxText(const SandboxState &state)
{
    return state.isComplete() ? qtTrId("about.sandbox.complete") : qtTrId("about.sandbox.limited").arg(state.missing());
}

} // namespace

AboutView::AboutView(const QString &version, const QString &build, QWidget *parent)
    : QDialog(parent)
    , m_versionLine(qtTrId("about.version").arg(orDash(version), orDash(build)))
{
    setWindowTitle(qtTrId("menu.about"));
    auto *icon = new QLabel;
    icon->setPixmap(Icons::appIcon().pixmap(96, 96));
    icon->setAlignment(Qt::AlignCenter);
    auto *divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(40, 40, 40, 40);
    column->setSpacing(8);
    column->addWidget(icon);
    column->addWidget(centred(QStringLiteral("Namorix"), 1.6, QFont::Bold));
    column->addWidget(centred(m_versionLine, 0.95));
    column->addSpacing(6);
    column->addWidget(centred(qtTrId("about.description"), 1.0));
    // What the helpers that read the files can do, as they report it; it may change once the first has run.
    const ExtractionSandbox &sandbox = ExtractionSandbox::shared();
    QLabel *sandboxLine = centred(sandboxText(sandbox.state()), 0.85);
    sandboxLine->setToolTip(qtTrId("about.sandbox.tooltip"));
    connect(&sandbox, &ExtractionSandbox::stateChanged, sandboxLine, [sandboxLine, &sandbox] {
        sandboxLine->setText(sandboxText(sandbox.state()));
        sandboxLine->setAccessibleName(sandboxLine->text());
    });
    column->addWidget(sandboxLine);
    column->addSpacing(6);
    column->addWidget(divider);
    column->addWidget(centred(qtTrId("about.developed.by"), 0.85));
    column->addWidget(centred(qtTrId("about.maker"), 1.0, QFont::Medium));
    column->addSpacing(6);
    column->addWidget(centred(qtTrId("about.copyright"), 0.75));
    column->addWidget(centred(qtTrId("about.rights"), 0.75));
    setFixedWidth(380);
}

AboutView *AboutView::forThisBuild(QWidget *parent)
{
    auto *view = new AboutView(QStringLiteral(NAMORIX_VERSION), QStringLiteral(NAMORIX_BUILD), parent);
    view->setAttribute(Qt::WA_DeleteOnClose);
    return view;
}
