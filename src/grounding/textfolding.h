#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace Grounding {

/**
 * A text made comparable: full Unicode case folding (so "ß" meets "SS"), umlauts spelled out
 * ("ü" meets "ue"), every run of white
 * space one space, trimmed. `origin[i]` is the index in the source text that gave `text[i]`.
 * Expects NFC input; the folding keeps it comparable with other folded NFC text.
 */
struct FoldedText {
    QString text;
    QList<qsizetype> origin;

    [[nodiscard]] static FoldedText fold(QStringView source);
    /** The source text behind `text.mid(start, length)`. */
    [[nodiscard]] QStringView sourceOf(QStringView source, qsizetype start, qsizetype length) const;
};

} // namespace Grounding
