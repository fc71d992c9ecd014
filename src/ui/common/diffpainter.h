#pragma once

#include "naming/namediff.h"

#include <QList>

class QPainter;
class QPalette;
class QRect;

/**
 * Paints one side of a name diff on one line: added runs green on a light green ground, removed
 * runs red and struck through, unchanged runs in the text colour, each readable (WCAG AA) on the
 * list's background. On a selected row every run takes the selection's text colour (green and red
 * do not read on the accent): added runs keep a ground, removed ones the strike. Cut with "…" when
 * it does not fit.
 */
void paintDiffLine(QPainter &painter, const QRect &rect, const QList<NameDiff::Segment> &segments,
                   const QPalette &palette, bool selected);
