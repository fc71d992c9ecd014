#pragma once

#include <QList>
#include <QtGlobal>

#include <algorithm>
#include <optional>

/**
 * Where a request head ends and how it splits into lines, for the bytes on the wire and the
 * decoded text alike. A line ends at LF; a CR right before it is dropped (RFC 9112 lets a server
 * take a bare LF as a line end, which hand-written clients and `printf | nc` send). The head ends
 * at the first empty line.
 */
namespace HTTPHead {

struct End {
    qsizetype headSize;  ///< the head without the empty line (its last line end may remain)
    qsizetype bodyStart; ///< the first byte after the empty line
};

/** The end of the head, searching from `from` on; nullopt while no empty line has arrived. */
template <typename View> [[nodiscard]] std::optional<End> findEnd(View text, qsizetype from = 0)
{
    for (qsizetype i = std::max<qsizetype>(from, 0); i < text.size(); ++i) {
        if (text[i] != u'\n')
            continue;
        qsizetype next = i + 1;
        if (next < text.size() && text[next] == u'\r')
            ++next;
        if (next >= text.size())
            return std::nullopt;
        if (text[next] == u'\n')
            return End{i, next + 1};
    }
    return std::nullopt;
}

/** Where a later findEnd() must start so that an end that is still arriving is found. */
[[nodiscard]] inline qsizetype resumeAt(qsizetype size)
{
    return std::max<qsizetype>(0, size - 2); // the end is LF, optional CR, LF
}

/** The head's lines without their line ends; empty lines are left out. */
template <typename View> [[nodiscard]] QList<View> lines(View head)
{
    QList<View> result;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= head.size(); ++i) {
        if (i < head.size() && head[i] != u'\n')
            continue;
        View line = head.sliced(start, i - start);
        if (!line.isEmpty() && line.back() == u'\r')
            line.chop(1);
        if (!line.isEmpty())
            result << line;
        start = i + 1;
    }
    return result;
}

} // namespace HTTPHead
