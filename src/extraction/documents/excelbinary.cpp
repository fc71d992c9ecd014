#include "binaryoffice.h"
#include "binaryofficestream.h"

#include <QStringList>

#include <algorithm>

namespace BinaryOffice {
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

} // namespace BinaryOffice
