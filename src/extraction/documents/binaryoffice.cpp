#include "binaryoffice.h"

#include <QList>
#include <QStringList>
#include <QtEndian>

#include <array>
#include <optional>

namespace BinaryOffice {
namespace {

// A little-endian integer at `at`, nullopt when it does not lie wholly inside `bytes`.
template <typename T> std::optional<T> number(QByteArrayView bytes, qint64 at)
{
    if (at < 0 || at > bytes.size() - qint64(sizeof(T)))
        return std::nullopt;
    return qFromLittleEndian<T>(bytes.data() + at);
}

// Bytes from `at` on, at most `length` of them; empty when `at` lies outside.
QByteArrayView slice(QByteArrayView bytes, qint64 at, qint64 length)
{
    if (at < 0 || at >= bytes.size() || length <= 0)
        return {};
    return bytes.sliced(at, std::min(length, bytes.size() - at));
}

// Windows-1252 at 0x80-0x9F; the other bytes are Latin-1. Its five holes stay controls.
constexpr std::array<char16_t, 32> Windows1252High{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t fromWindows1252(char byte)
{
    const auto unit = uchar(byte);
    return unit >= 0x80 && unit < 0xA0 ? Windows1252High[unit - 0x80] : char16_t(unit);
}

char16_t utf16At(QByteArrayView bytes, qint64 at)
{
    return qFromLittleEndian<quint16>(bytes.data() + at);
}

class TextSink final
{
public:
    explicit TextSink(qsizetype maxLength)
        : m_maxLength(maxLength)
    {
    }

    [[nodiscard]] bool isFull() const { return m_text.size() >= m_maxLength; }

    // White space and control characters (C0 and C1) only separate: a run of them is one space.
    void add(char16_t unit)
    {
        if (unit < 0x20 || (unit >= 0x7F && unit < 0xA0) || QChar::isSpace(unit)) {
            separate();
            return;
        }
        if (isFull())
            return;
        if (m_space)
            m_text += u' ';
        m_space = false;
        m_text += QChar(unit);
    }

    void separate() { m_space = !m_text.isEmpty(); }

    QString take()
    {
        m_text.truncate(std::min(m_text.size(), m_maxLength));
        return std::move(m_text);
    }

private:
    const qsizetype m_maxLength;
    QString m_text;
    bool m_space = false;
};

// Word --------------------------------------------------------------------------------------

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

// Excel -------------------------------------------------------------------------------------

namespace {

enum ExcelRecord : quint16 {
    BOF = 0x0809,
    FilePass = 0x002F,
    SST = 0x00FC,
    Continue = 0x003C,
    LabelSST = 0x00FD,
    Label = 0x0204,
    RString = 0x00D6,
};
constexpr quint16 BIFF8 = 0x0600;
// Shared strings kept, in UTF-16 units; a table that claims more ends there.
constexpr qint64 MaxSharedUnits = 8 * 1024 * 1024;

struct Record {
    quint16 type = 0;
    QByteArrayView data;
};

// The records of a BIFF stream one after the other; a record cut off by the stream's end ends it.
class Records final
{
public:
    explicit Records(QByteArrayView stream)
        : m_stream(stream)
    {
    }

    std::optional<Record> next()
    {
        const std::optional<quint16> type = number<quint16>(m_stream, m_pos),
                                     size = number<quint16>(m_stream, m_pos + 2);
        if (!type || !size || m_pos + 4 + *size > m_stream.size())
            return std::nullopt;
        const Record record{*type, m_stream.sliced(m_pos + 4, *size)};
        m_pos += 4 + *size;
        return record;
    }

    [[nodiscard]] std::optional<quint16> peekType() const { return number<quint16>(m_stream, m_pos); }

private:
    QByteArrayView m_stream;
    qint64 m_pos = 0;
};

// A record and its CONTINUE records read as one: a string's characters may go on in the next
// one, which then starts with a new flags byte saying whether they are 8-bit or 16-bit.
class ContinuedRecord final
{
public:
    void append(QByteArrayView data) { m_parts.append(data); }

    std::optional<quint8> byte()
    {
        while (m_part < m_parts.size() && m_pos >= m_parts[m_part].size()) {
            ++m_part;
            m_pos = 0;
        }
        if (m_part >= m_parts.size())
            return std::nullopt;
        return quint8(m_parts[m_part][m_pos++]);
    }

    std::optional<quint32> integer(int bytes)
    {
        quint32 value = 0;
        for (int i = 0; i < bytes; ++i) {
            const std::optional<quint8> b = byte();
            if (!b)
                return std::nullopt;
            value |= quint32(*b) << (8 * i);
        }
        return value;
    }

    bool skip(qint64 count)
    {
        while (count > 0 && m_part < m_parts.size()) {
            const qint64 step = std::min(count, m_parts[m_part].size() - m_pos);
            m_pos += step;
            count -= step;
            if (count > 0) {
                ++m_part;
                m_pos = 0;
            }
        }
        return count == 0;
    }

    // `count` characters, 16-bit ones when `wide`; the part kept is at most `keep` units long.
    std::optional<QString> characters(qint64 count, bool wide, qsizetype keep)
    {
        QString text;
        while (count > 0) {
            if (m_part < m_parts.size() && m_pos >= m_parts[m_part].size()) {
                ++m_part;
                m_pos = 0;
                const std::optional<quint8> flags = byte();
                if (!flags)
                    return std::nullopt;
                wide = *flags & 0x01;
            }
            if (m_part >= m_parts.size())
                return std::nullopt;
            const QByteArrayView part = m_parts[m_part];
            const qint64 available = (part.size() - m_pos) / (wide ? 2 : 1);
            if (available == 0)
                return std::nullopt; // half a character before the record's end
            const qint64 take = std::min(count, available);
            for (qint64 i = 0; i < take && text.size() < keep; ++i)
                text += QChar(wide ? utf16At(part, m_pos + 2 * i) : char16_t(uchar(part[m_pos + i])));
            m_pos += take * (wide ? 2 : 1);
            count -= take;
        }
        return text;
    }

private:
    QList<QByteArrayView> m_parts;
    qsizetype m_part = 0;
    qint64 m_pos = 0;
};

// An XLUnicodeRichExtendedString: its characters, formatting runs and phonetic data skipped.
std::optional<QString> sharedString(ContinuedRecord &record, qsizetype keep)
{
    const std::optional<quint32> length = record.integer(2);
    const std::optional<quint8> flags = record.byte();
    if (!length || !flags)
        return std::nullopt;
    const bool rich = *flags & 0x08, phonetic = *flags & 0x04;
    const std::optional<quint32> runs = rich ? record.integer(2) : 0;
    const std::optional<quint32> phoneticSize = phonetic ? record.integer(4) : 0;
    if (!runs || !phoneticSize)
        return std::nullopt;
    std::optional<QString> text = record.characters(*length, *flags & 0x01, keep);
    if (text) // a last string whose runs are cut off still counts
        record.skip(4 * qint64(*runs) + qint64(*phoneticSize));
    return text;
}

QStringList sharedStrings(ContinuedRecord record, qsizetype keep)
{
    QStringList strings;
    if (!record.skip(8)) // total and unique counts: claims, not trusted
        return strings;
    qint64 units = 0;
    while (units < MaxSharedUnits) {
        const std::optional<QString> text = sharedString(record, keep);
        if (!text)
            break;
        units += text->size() + 1;
        strings << *text;
    }
    return strings;
}

// An XLUnicodeString in one record (BIFF8), or 8-bit characters after a 16-bit length (BIFF5).
QString labelText(QByteArrayView data, bool biff8, qsizetype keep)
{
    const std::optional<quint16> length = number<quint16>(data, 6);
    if (!length)
        return {};
    if (!biff8) {
        QString text;
        for (const char byte : slice(data, 8, std::min<qint64>(*length, keep)))
            text += QChar(fromWindows1252(byte));
        return text;
    }
    ContinuedRecord record;
    record.append(data);
    record.skip(9);
    const bool wide = data.size() > 8 && (data[8] & 0x01);
    return record.characters(std::min<qint64>(*length, keep), wide, keep).value_or(QString());
}

void addPiece(TextSink &sink, const QString &text)
{
    sink.separate();
    for (const QChar c : text)
        sink.add(c.unicode());
}

} // namespace

QString workbookText(QByteArrayView workbook, qsizetype maxLength)
{
    Records records(workbook);
    const std::optional<Record> first = records.next();
    if (!first || first->type != BOF)
        return {};
    const bool biff8 = number<quint16>(first->data, 0) == BIFF8;
    TextSink sink(maxLength);
    QStringList shared;
    while (!sink.isFull()) {
        const std::optional<Record> record = records.next();
        if (!record)
            break;
        switch (record->type) {
        case FilePass:
            return {};
        case SST: {
            ContinuedRecord table;
            table.append(record->data);
            while (records.peekType() == Continue) {
                const std::optional<Record> continued = records.next();
                if (!continued)
                    break; // cut off by the stream's end
                table.append(continued->data);
            }
            shared = sharedStrings(table, maxLength);
            break;
        }
        case LabelSST:
            if (const std::optional<quint32> index = number<quint32>(record->data, 6);
                index && *index < quint32(shared.size()))
                addPiece(sink, shared[qsizetype(*index)]);
            break;
        case Label:
        case RString:
            addPiece(sink, labelText(record->data, biff8, maxLength));
            break;
        default:
            break;
        }
    }
    return sink.take();
}

// PowerPoint --------------------------------------------------------------------------------

namespace {

constexpr quint16 MainMaster = 0x03F8, Notes = 0x03F0, NotesAtom = 0x03F1, Handout = 0x0FC9;
constexpr quint16 TextCharsAtom = 0x0FA0, TextBytesAtom = 0x0FA8;
constexpr quint16 ContainerVersion = 0x000F;
constexpr int MaxRecordDepth = 32;

// Masters hold sample texts ("Titelformat bearbeiten"): the slide masters, the handout master and
// the notes master, the notes whose NotesAtom names no slide.
bool isMaster(quint16 type, QByteArrayView body)
{
    return type == MainMaster || type == Handout ||
           (type == Notes && number<quint16>(body, 2) == NotesAtom && number<quint32>(body, 8) == 0U);
}

// A text of one "*" stands for a field (slide number, date, footer) that the slide fills in when
// shown; as text it is noise.
bool isFieldMark(quint16 type, QByteArrayView body)
{
    return (type == TextCharsAtom && body == QByteArrayView("*\0", 2)) ||
           (type == TextBytesAtom && body == QByteArrayView("*", 1));
}

void collectAtoms(QByteArrayView records, int depth, TextSink &sink)
{
    qint64 pos = 0;
    while (pos + 8 <= records.size() && !sink.isFull()) {
        const quint16 version = *number<quint16>(records, pos) & 0x000F, type = *number<quint16>(records, pos + 2);
        // A record longer than what holds it is cut there: the bytes before the damage are read.
        const QByteArrayView body = slice(records, pos + 8, *number<quint32>(records, pos + 4));
        pos += 8 + body.size();
        if (version == ContainerVersion) {
            if (!isMaster(type, body) && depth < MaxRecordDepth)
                collectAtoms(body, depth + 1, sink);
        } else if (isFieldMark(type, body)) {
            continue;
        } else if (type == TextCharsAtom) {
            sink.separate();
            for (qint64 at = 0; at + 1 < body.size() && !sink.isFull(); at += 2)
                sink.add(utf16At(body, at));
        } else if (type == TextBytesAtom) { // the low bytes of UTF-16 units
            sink.separate();
            for (qint64 at = 0; at < body.size() && !sink.isFull(); ++at)
                sink.add(char16_t(uchar(body[at])));
        }
    }
}

} // namespace

QString presentationText(QByteArrayView document, qsizetype maxLength)
{
    TextSink sink(maxLength);
    collectAtoms(document, 0, sink);
    return sink.take();
}

} // namespace BinaryOffice
