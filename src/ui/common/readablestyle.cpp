#include "ui/common/readablestyle.h"

#include "ui/common/palette.h"

#include <QApplication>

void ReadableStyle::polish(QPalette &palette)
{
    QProxyStyle::polish(palette);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        QColor hint = palette.color(group, QPalette::PlaceholderText);
        for (const QPalette::ColorRole ground : {QPalette::Base, QPalette::Window})
            hint = UIColors::readableOn(hint, palette.color(group, ground));
        palette.setColor(group, QPalette::PlaceholderText, hint);
    }
}

void ReadableStyle::install()
{
    QApplication::setStyle(new ReadableStyle);
}
