#include "ui/common/mnemonics.h"

#include <QAction>
#include <QMenu>
#include <QSet>

namespace {

/** The mnemonic letter already marked in `text` ("&x"), or a null character. */
QChar markedLetter(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1].isLetterOrNumber())
            return text[i + 1].toLower();
        ++i; // "&&" is a literal ampersand
    }
    return {};
}

/** `text` with "&" before its first free letter, word starts first; unchanged when all are taken. */
QString marked(const QString &text, QSet<QChar> &taken)
{
    QString escaped = text;
    escaped.replace(u'&', QStringLiteral("&&"));
    for (const bool wordStartsOnly : {true, false}) {
        for (qsizetype i = 0; i < escaped.size(); ++i) {
            const QChar letter = escaped[i];
            const bool wordStart = i == 0 || !escaped[i - 1].isLetterOrNumber();
            if (!letter.isLetter() || (wordStartsOnly && !wordStart) || taken.contains(letter.toLower()))
                continue;
            taken.insert(letter.toLower());
            return escaped.insert(i, u'&');
        }
    }
    return escaped;
}

} // namespace

namespace Mnemonics {

void assign(const QList<QAction *> &actions)
{
    QSet<QChar> taken;
    for (const QAction *action : actions) {
        if (const QChar letter = markedLetter(action->text()); !letter.isNull())
            taken.insert(letter);
    }
    for (QAction *action : actions) {
        if (action->isSeparator() || action->text().isEmpty())
            continue;
        if (markedLetter(action->text()).isNull())
            action->setText(marked(action->text(), taken));
        if (action->menu())
            assign(action->menu()->actions());
    }
}

} // namespace Mnemonics
