#pragma once

#include "naming/namediff.h"

#include <QList>

class QColor;
class QPainter;
class QPalette;
class QRect;

/**
 * Paints one side of a name diff on one line: added runs green on a light green ground, removed
 * runs red and struck through, unchanged runs in `textColor`. Cut with "…" when it does not fit.
 */
void paintDiffLine(QPainter &painter, const QRect &rect, const QList<NameDiff::Segment> &segments,
                   const QColor &textColor);
