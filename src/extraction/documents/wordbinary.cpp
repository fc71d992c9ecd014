#include "binaryoffice.h"
#include "binaryofficestream.h"

#include <QList>

#include <algorithm>

namespace BinaryOffice {
namespace {

constexpr quint16 WordMagic = 0xA5EC;
constexpr quint16 Word97 = 0x00C0;
constexpr quint16 Encrypted = 0x0100, UsesTable1 = 0x0200;
constexpr qint64 FcClxOffset = 0x01A2, LcbClxOffset = 0x01A6;
// Characters looked at over all pieces: a piece table that names the whole stream again and
// again, or pieces of nothing but markers, end here.
constexpr qint64 MaxWordUnits = 16 * 1024 * 1024;
constexpr qsizetype MaxFieldDepth = 64;

// Word's special characters: fields are "begin instruction separator result end"; only the result is text.
class WordText final
{
public:
    explicit WordText(qsizetype maxLength)
        : m_sink(maxLength)
    {
    }

    [[nodiscard]] bool isFull() const { return m_sink.isFull(); }

    void add(char16_t unit)
    {
        switch (unit) {
        case 0x13: // field begin: its instruction follows
            if (m_fields.size() < MaxFieldDepth)
                m_fields.append(true);
            return;
        case 0x14: // field separator: the result follows
            if (!m_fields.isEmpty())
                m_fields.last() = false;
            return;
        case 0x15:
            if (!m_fields.isEmpty())
                m_fields.removeLast();
            return;
        default:
            break;
        }
        if (m_fields.contains(true))
            return;
        if (unit == 0x1E) // non-breaking hyphen
            unit = u'-';
        // Paragraph, cell, line, page and section ends, tabs: space. Anchors of pictures, drawings,
        // footnote marks and optional hyphens: nothing.
        if (unit < 0x20 && unit != 0x07 && unit != 0x09 && unit != 0x0B && unit != 0x0C && unit != 0x0D)
            return;
        m_sink.add(unit);
    }

    QString take() { return m_sink.take(); }

private:
    TextSink m_sink;
    QList<bool> m_fields; // open fields, true while in their instruction
};

// The PlcPcd of a CLX: Prc entries (formatting) first, then one Pcdt.
QByteArrayView pieceTable(QByteArrayView clx)
{
    qint64 pos = 0;
    while (pos < clx.size() && clx[pos] == 0x01) {
        const std::optional<quint16> size = number<quint16>(clx, pos + 1);
        if (!size)
            return {};
        pos += 3 + *size;
    }
    const std::optional<quint32> size = number<quint32>(clx, pos + 1);
    if (pos >= clx.size() || clx[pos] != 0x02 || !size)
        return {};
    return slice(clx, pos + 5, *size);
}

} // namespace

QString wordText(QByteArrayView document, QByteArrayView table0, QByteArrayView table1, qsizetype maxLength)
{
    const std::optional<quint16> flags = number<quint16>(document, 0x0A);
    const std::optional<quint32> fcClx = number<quint32>(document, FcClxOffset),
                                 lcbClx = number<quint32>(document, LcbClxOffset);
    if (number<quint16>(document, 0) != WordMagic || number<quint16>(document, 2).value_or(0) < Word97 || !flags ||
        (*flags & Encrypted) || !fcClx || !lcbClx)
        return {};
    const QByteArrayView table = *flags & UsesTable1 ? table1 : table0;
    const QByteArrayView pieces = pieceTable(slice(table, *fcClx, *lcbClx));
    // n + 1 character positions, then n piece descriptors of 8 bytes.
    const qint64 count = (pieces.size() - 4) / 12;
    WordText text(maxLength);
    qint64 budget = MaxWordUnits;
    for (qint64 i = 0; i < count && !text.isFull() && budget > 0; ++i) {
        const qint64 start = *number<quint32>(pieces, 4 * i), end = *number<quint32>(pieces, 4 * (i + 1));
        const quint32 fc = *number<quint32>(pieces, 4 * (count + 1) + 8 * i + 2);
        const qint64 length = std::min(end - start, budget);
        if (length <= 0)
            continue;
        const bool compressed = fc & 0x40000000U;
        const qint64 offset = fc & 0x3FFFFFFFU;
        if (compressed) {
            const QByteArrayView bytes = slice(document, offset / 2, length);
            for (qint64 at = 0; at < bytes.size() && !text.isFull(); ++at)
                text.add(fromWindows1252(bytes[at]));
            budget -= bytes.size();
        } else {
            const QByteArrayView bytes = slice(document, offset, 2 * length);
            for (qint64 at = 0; at + 1 < bytes.size() && !text.isFull(); at += 2)
                text.add(utf16At(bytes, at));
            budget -= bytes.size() / 2;
        }
        budget -= 1; // an empty piece costs too
    }
    return text.take();
}

} // namespace BinaryOffice
