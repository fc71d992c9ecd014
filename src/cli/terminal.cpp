#include "cli/terminal.h"

#include "common/unicodetext.h"
#include "naming/namediff.h"

#include <QRegularExpression>

#include <algorithm>

#include <unistd.h>

namespace {

const QString Reset = QStringLiteral("\x1b[0m");

QString joined(const QList<NameDiff::Segment> &segments, NameDiff::Segment::Kind changed, const QString &style)
{
    QString text;
    for (const NameDiff::Segment &segment : segments)
        text += segment.kind == changed ? style + segment.text + Reset : segment.text;
    return text;
}

/** Characters as the terminal shows them: without colour codes, a grapheme cluster each. */
qsizetype shownWidth(const QString &text)
{
    static const QRegularExpression escape(QStringLiteral("\x1b\\[[0-9;]*m"));
    return UnicodeText::graphemeCount(QString(text).remove(escape));
}

bool progressShown = false;

} // namespace

namespace Terminal {

bool isTerminal(FILE *stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

bool hasColour(FILE *stream)
{
    return isTerminal(stream) && qEnvironmentVariableIsEmpty("NO_COLOR") && qgetenv("TERM") != "dumb";
}

MarkedNames markedNames(const QString &oldName, const QString &newName)
{
    const NameDiff::Sides sides = NameDiff::compute(oldName, newName);
    // Removed red and struck through, added green; the extension is the new name's on both sides.
    return {joined(sides.oldSide, NameDiff::Segment::Kind::removed, QStringLiteral("\x1b[31;9m")),
            joined(sides.newSide, NameDiff::Segment::Kind::added, QStringLiteral("\x1b[32;1m"))};
}

QString bold(const QString &text, bool colour)
{
    return colour ? QStringLiteral("\x1b[1m") + text + Reset : text;
}

QString dim(const QString &text, bool colour)
{
    return colour ? QStringLiteral("\x1b[2m") + text + Reset : text;
}

QString table(const QList<QStringList> &rows, bool colour)
{
    QList<qsizetype> widths;
    for (const QStringList &row : rows) {
        for (qsizetype column = 0; column < row.size(); ++column) {
            if (widths.size() <= column)
                widths.append(0);
            widths[column] = std::max(widths[column], shownWidth(row[column]));
        }
    }
    QString text;
    for (qsizetype index = 0; index < rows.size(); ++index) {
        QString line;
        const QStringList &row = rows[index];
        for (qsizetype column = 0; column < row.size(); ++column) {
            const QString cell = index == 0 ? bold(row[column], colour) : row[column];
            line +=
                column + 1 == row.size() ? cell : cell + QString(widths[column] - shownWidth(row[column]) + 2, u' ');
        }
        while (line.endsWith(u' '))
            line.chop(1);
        text += line + u'\n';
    }
    return text;
}

void write(FILE *stream, const QString &text)
{
    clearProgress(); // on the same terminal, a table would start behind it
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void showProgress(const QString &text)
{
    const QByteArray bytes = "\r\x1b[K" + text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
    progressShown = true;
}

void clearProgress()
{
    if (!progressShown)
        return;
    progressShown = false;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
}

} // namespace Terminal
