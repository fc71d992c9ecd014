#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>

/** What the command writes: tables on standard output, messages and progress on standard error. */
namespace Terminal {

/** Whether `stream` is a terminal that shows colour (not with NO_COLOR set or TERM=dumb). */
[[nodiscard]] bool hasColour(FILE *stream);
[[nodiscard]] bool isTerminal(FILE *stream);

/** The old and the new name with their differences marked as the preview marks them (the core's name diff). */
struct MarkedNames {
    QString oldName;
    QString newName;
};
[[nodiscard]] MarkedNames markedNames(const QString &oldName, const QString &newName);

/** `text` bold, when colour is on. */
[[nodiscard]] QString bold(const QString &text, bool colour);
/** `text` dimmed, when colour is on. */
[[nodiscard]] QString dim(const QString &text, bool colour);

/**
 * Rows in columns, the first row a bold header; widths count characters as shown, so colour
 * codes in a cell do not shift the columns. The last column is not padded.
 */
[[nodiscard]] QString table(const QList<QStringList> &rows, bool colour);

void write(FILE *stream, const QString &text);
/** One progress line that overwrites itself; `clearProgress` removes it. */
void showProgress(const QString &text);
void clearProgress();

} // namespace Terminal
