#include "ui/files/jobdelegate.h"

#include "common/filenames.h"
#include "engine/destinationnames.h"
#include "ui/common/diffpainter.h"
#include "ui/common/icons.h"
#include "ui/common/palette.h"
#include "ui/files/joblistmodel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontDatabase>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>

namespace {

constexpr int Margin = 8;
constexpr int Spacing = 12;
constexpr int ToggleSize = 18;
constexpr int IconSize = 28;
constexpr int EyeSize = 24;
constexpr int VerticalPadding = 4;
constexpr int MaxCachedDiffs = 4096;

int lineHeight(const QFont &font)
{
    return QFontMetrics(font).height() + 4;
}

/** A dotted orange underline under each stretch of the name an unverified field gave. */
void paintMarks(QPainter &painter, const QRect &line, const QString &name, const QList<Grounding::NameMark> &marks)
{
    const QFontMetrics metrics(painter.font());
    const int baseline = line.center().y() + metrics.ascent() / 2 + 3;
    QPen pen(UIColors::orange(), 1.5, Qt::DotLine);
    painter.setPen(pen);
    for (const Grounding::NameMark &mark : marks) {
        const int from = line.left() + metrics.horizontalAdvance(name.left(mark.start));
        const int to = std::min(line.right(), from + metrics.horizontalAdvance(name.mid(mark.start, mark.length)));
        if (from < to)
            painter.drawLine(from, baseline, to, baseline);
    }
}

} // namespace

JobDelegate::JobDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

QFont JobDelegate::calloutFont() const
{
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 0.92);
    return font;
}

QFont JobDelegate::captionFont() const
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(QApplication::font().pointSizeF() * 0.8);
    return font;
}

QRect JobDelegate::toggleRect(const QRect &row)
{
    return {row.left() + Margin, row.center().y() - ToggleSize / 2, ToggleSize, ToggleSize};
}

QRect JobDelegate::eyeRect(const QRect &row)
{
    return {row.right() - Margin - EyeSize, row.center().y() - EyeSize / 2, EyeSize, EyeSize};
}

QRect JobDelegate::badgeRect(const QRect &row, const QString &badge) const
{
    const QFontMetrics metrics(captionFont());
    const int width = metrics.horizontalAdvance(badge) + 12;
    const int height = metrics.height() + 4;
    return {eyeRect(row).left() - Spacing - width, row.center().y() - height / 2, width, height};
}

QRect JobDelegate::nameRect(const QRect &row, const QString &badge) const
{
    const int left = toggleRect(row).right() + Spacing + IconSize + Spacing;
    const int top = row.top() + VerticalPadding + lineHeight(calloutFont()) + 2;
    return {left, top, badgeRect(row, badge).left() - Spacing - left, lineHeight(QApplication::font())};
}

QSize JobDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    const int text = lineHeight(calloutFont()) + 2 + lineHeight(QApplication::font());
    return {400, std::max(IconSize, text) + 2 * VerticalPadding};
}

const NameDiff::Sides &JobDelegate::diff(const QString &oldName, const QString &newName) const
{
    const QString key = oldName + u'/' + newName;
    auto found = m_diffs.constFind(key);
    if (found != m_diffs.cend())
        return *found;
    if (m_diffs.size() >= MaxCachedDiffs)
        m_diffs.clear();
    return *m_diffs.insert(key, NameDiff::compute(oldName, newName));
}

void JobDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    painter->save();
    QStyleOptionViewItem background = option;
    background.text.clear();
    background.icon = {};
    background.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, option.widget);

    const QRect row = option.rect;
    QStyleOptionButton toggle;
    toggle.rect = toggleRect(row);
    toggle.state = QStyle::State_Enabled |
                   (index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &toggle, painter, option.widget);

    const QRect iconRect(toggle.rect.right() + Spacing, row.center().y() - IconSize / 2, IconSize, IconSize);
    index.data(Qt::DecorationRole).value<QIcon>().paint(painter, iconRect);

    const QString oldName = index.data(JobListModel::OriginalNameRole).toString();
    const QString newName = index.data(Qt::DisplayRole).toString();
    const QString reason = index.data(JobListModel::FailureReasonRole).toString();
    const QString badge = index.data(JobListModel::BadgeTextRole).toString();
    const QRect second = nameRect(row, badge);
    QRect first(second.left(), row.top() + VerticalPadding, second.width(), lineHeight(calloutFont()));
    const bool selected = option.state & QStyle::State_Selected;
    const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const NameDiff::Sides &sides = diff(oldName, newName);
    // Where the name came from, at the end of the old name's line, which gives way to it.
    if (const QString note = index.data(JobListModel::CachedNoteRole).toString(); !note.isEmpty()) {
        painter->setFont(calloutFont());
        const int width = std::min(QFontMetrics(painter->font()).horizontalAdvance(note) + 2, first.width() / 2);
        painter->setPen(selected ? text : option.palette.color(QPalette::PlaceholderText));
        painter->drawText(first.adjusted(first.width() - width, 0, 0, 0), Qt::AlignRight | Qt::AlignVCenter,
                          QFontMetrics(painter->font()).elidedText(note, Qt::ElideRight, width));
        first.setRight(first.right() - width - Spacing);
    }
    painter->setFont(calloutFont());
    paintDiffLine(*painter, first, sides.oldSide, option.palette, selected);
    painter->setFont(QApplication::font());
    if (!m_showDiff) {
        QStyleOptionFrame frame;
        frame.rect = second;
        frame.state = QStyle::State_Enabled | QStyle::State_Sunken;
        frame.lineWidth = 1;
        style->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, painter, option.widget);
        // The field keeps its own ground on a selected row too: the field's text colour, never the selection's.
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(second.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(painter->font()).elidedText(newName, Qt::ElideRight, second.width() - 8));
    } else if (!reason.isEmpty()) {
        const int iconSide = second.height() - 6;
        Icons::symbol(u"exclamationmark.triangle")
            .paint(painter, QRect(second.left(), second.top() + 3, iconSide, iconSide));
        // Red does not read on the selection's accent: there the reason takes the selection's text colour.
        painter->setPen(selected ? text : UIColors::readableOn(UIColors::red(), option.palette.color(QPalette::Base)));
        const QRect reasonRect = second.adjusted(iconSide + 4, 0, 0, 0);
        painter->drawText(reasonRect, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(painter->font()).elidedText(reason, Qt::ElideRight, reasonRect.width()));
    } else {
        paintDiffLine(*painter, second, sides.newSide, option.palette, selected);
        paintMarks(*painter, second, newName,
                   index.data(JobListModel::UnverifiedMarksRole).value<QList<Grounding::NameMark>>());
    }

    // On the selection's accent only its text colour reads; elsewhere the tone is held readable.
    const QColor badgeColor = selected ? text
                                       : UIColors::readableOn(index.data(JobListModel::BadgeColorRole).value<QColor>(),
                                                              option.palette.color(QPalette::Base));
    QColor badgeGround = badgeColor;
    badgeGround.setAlphaF(0.15f);
    const QRect badgeArea = badgeRect(row, badge);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(badgeGround);
    painter->drawRoundedRect(badgeArea, badgeArea.height() / 2.0, badgeArea.height() / 2.0);
    painter->setFont(captionFont());
    painter->setPen(badgeColor);
    painter->drawText(badgeArea, Qt::AlignCenter, badge);

    Icons::symbol(u"eye").paint(painter, eyeRect(row).adjusted(4, 4, -4, -4));
    painter->restore();
}

QWidget *JobDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    if (index.data(JobListModel::AnalysisFailedRole).toBool())
        return nullptr;
    auto *editor = new QLineEdit(parent);
    editor->setPlaceholderText(qtTrId("preview.name"));
    editor->setAccessibleName(qtTrId("preview.name"));
    return editor;
}

void JobDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *line = static_cast<QLineEdit *>(editor);
    const QString name = index.data(Qt::EditRole).toString();
    line->setText(name);
    // As file managers do: typing replaces the stem and leaves the extension. Later than the
    // view's own select-all, which follows this call.
    const int stem = int(FileNames::baseName(name).size());
    QTimer::singleShot(0, line, [line, stem] { line->setSelection(0, stem); });
}

void JobDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    const QString name = static_cast<QLineEdit *>(editor)->text();
    if (name == index.data(Qt::EditRole).toString())
        return;
    if (const std::optional<QString> refused = DestinationNames::refusal(name)) {
        Q_EMIT nameRefused(*refused);
        return;
    }
    if (!FileNames::sameExtension(index.data(JobListModel::OriginalNameRole).toString(), name)) {
        Q_EMIT extensionChangeRequested(index.data(JobListModel::IdRole).toUuid(), name);
        return;
    }
    model->setData(index, name, Qt::EditRole);
}

void JobDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    editor->setGeometry(nameRect(option.rect, index.data(JobListModel::BadgeTextRole).toString()));
}

bool JobDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                            const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && eyeRect(option.rect).contains(event->pos())) {
        QToolTip::showText(event->globalPos(), qtTrId("preview.quickLook"), view->viewport(), eyeRect(option.rect));
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

bool JobDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                              const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const QPoint at = mouse->position().toPoint();
    if (toggleRect(option.rect).contains(at)) {
        const bool approved = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        model->setData(index, int(approved ? Qt::Unchecked : Qt::Checked), Qt::CheckStateRole);
        return true;
    }
    if (eyeRect(option.rect).contains(at)) {
        Q_EMIT quickLookRequested(index);
        return true;
    }
    const QString badge = index.data(JobListModel::BadgeTextRole).toString();
    if (!m_showDiff && nameRect(option.rect, badge).contains(at)) {
        if (auto *view = qobject_cast<QAbstractItemView *>(const_cast<QWidget *>(option.widget)))
            view->edit(index);
        return true;
    }
    return false;
}
