#include "ui/common/icons.h"

#include <QPainter>
#include <QString>

#include <array>
#include <initializer_list>

namespace {

struct SymbolEntry {
    QStringView symbol;
    std::initializer_list<QStringView> themeNames;
};

const std::array<SymbolEntry, 32> &symbolTable()
{
    static const std::array<SymbolEntry, 32> table{{
        {u"wand.and.stars", {u"tools-wizard", u"draw-wand"}},
        {u"doc.on.doc", {u"document-multiple", u"edit-copy"}},
        {u"clock", {u"appointment-soon", u"chronometer"}},
        {u"clock.arrow.counterclockwise", {u"document-open-recent", u"view-history"}},
        {u"doc.text", {u"text-x-generic", u"document-new"}},
        {u"folder.badge.gearshape", {u"folder-saved-search", u"folder"}},
        {u"exclamationmark.triangle", {u"dialog-warning"}},
        {u"arrow.down.doc", {u"document-import", u"go-down"}},
        {u"eye", {u"view-preview", u"document-preview"}},
        {u"chevron.left.forwardslash.chevron.right", {u"format-text-code", u"text-x-script"}},
        {u"magnifyingglass", {u"edit-find", u"system-search"}},
        {u"arrow.uturn.backward", {u"edit-undo"}},
        {u"square.and.arrow.up", {u"document-export", u"document-save-as"}},
        {u"xmark.circle", {u"process-stop", u"window-close"}},
        {u"info.circle", {u"dialog-information", u"help-about"}},
        {u"gear", {u"preferences-system", u"configure"}},
        {u"list.bullet.rectangle", {u"view-list-details", u"view-list-text"}},
        {u"brain", {u"applications-science", u"system-run"}},
        {u"network", {u"network-wired", u"network-workgroup"}},
        {u"doc.text.magnifyingglass", {u"help-contents", u"document-preview"}},
        {u"doc.text.fill", {u"text-x-generic", u"x-office-document"}},
        {u"xmark.circle.fill", {u"window-close", u"dialog-close"}},
        {u"checkmark.circle.fill", {u"emblem-ok", u"dialog-ok"}},
        {u"exclamationmark.triangle.fill", {u"dialog-warning"}},
        {u"sparkles", {}}, // always the bundled purple one: no theme has it
        {u"gearshape", {u"configure", u"preferences-system"}},
        {u"minus.circle", {u"list-remove"}},
        {u"arrow.right", {u"go-next"}},
        {u"plus", {u"list-add"}},
        {u"minus", {u"list-remove"}},
        {u"trash", {u"edit-delete", u"user-trash"}},
        {u"pin", {u"window-pin", u"pin"}},
    }};
    return table;
}

} // namespace

namespace Icons {

QIcon symbol(QStringView symbol)
{
    for (const SymbolEntry &entry : symbolTable()) {
        if (entry.symbol != symbol)
            continue;
        const QIcon fallback(QStringLiteral(":/symbols/") + symbol.toString() + QStringLiteral(".svg"));
        for (QStringView name : entry.themeNames) {
            if (QIcon::hasThemeIcon(name.toString()))
                return QIcon::fromTheme(name.toString(), fallback);
        }
        return fallback;
    }
    return {};
}

QIcon onHighlight(const QIcon &icon, QSize size, const QColor &highlighted)
{
    QIcon result;
    for (const qreal ratio : {1.0, 2.0}) {
        const QPixmap normal = icon.pixmap(size, ratio);
        QPixmap tinted = normal;
        QPainter painter(&tinted);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(tinted.rect(), highlighted);
        painter.end();
        result.addPixmap(normal, QIcon::Normal);
        result.addPixmap(tinted, QIcon::Selected);
    }
    return result;
}

QIcon appIcon()
{
    return QIcon::fromTheme(QStringLiteral("namorix"), QIcon(QStringLiteral(":/icons/namorix.svg")));
}

} // namespace Icons
