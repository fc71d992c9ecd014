#include "binaryoffice.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <limits>
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

constexpr quint16 Document = 0x03E8, Slide = 0x03EE, Notes = 0x03F0, NotesAtom = 0x03F1, SlidePersistAtom = 0x03F3;
constexpr quint16 MainMaster = 0x03F8, Handout = 0x0FC9, SlideListWithText = 0x0FF0;
constexpr quint16 TextHeaderAtom = 0x0F9F, TextCharsAtom = 0x0FA0, TextBytesAtom = 0x0FA8;
constexpr quint16 CurrentUserAtom = 0x0FF6, UserEditAtom = 0x0FF5, PersistDirectoryAtom = 0x1772;
constexpr quint16 ContainerVersion = 0x000F;
constexpr quint32 PlainToken = 0xE391C05F, EncryptedToken = 0xF3D1C4DF;
constexpr quint16 SlideListInstance = 0, NotesListInstance = 2;
constexpr int MaxRecordDepth = 32;
// A chain of edits or a persist directory beyond these is damage, not a presentation.
constexpr qsizetype MaxEdits = 4096;
constexpr qsizetype MaxPersistEntries = 256 * 1024;

struct PptRecord {
    quint16 version = 0;
    quint16 instance = 0;
    quint16 type = 0;
    QByteArrayView body; // cut where the bytes holding it end
};

std::optional<PptRecord> pptRecordAt(QByteArrayView records, qint64 at)
{
    const std::optional<quint16> head = number<quint16>(records, at), type = number<quint16>(records, at + 2);
    const std::optional<quint32> length = number<quint32>(records, at + 4);
    if (!head || !type || !length)
        return std::nullopt;
    return PptRecord{quint16(*head & 0x000F), quint16(*head >> 4), *type, slice(records, at + 8, *length)};
}

// The records one after the other, each cut where `records` ends.
template <typename Visit> void forEachRecord(QByteArrayView records, Visit visit)
{
    qint64 pos = 0;
    while (const std::optional<PptRecord> record = pptRecordAt(records, pos)) {
        pos += 8 + record->body.size();
        if (!visit(*record))
            return;
    }
}

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

void addTextAtom(const PptRecord &record, TextSink &sink)
{
    if (isFieldMark(record.type, record.body))
        return;
    if (record.type == TextCharsAtom) {
        sink.separate();
        for (qint64 at = 0; at + 1 < record.body.size() && !sink.isFull(); at += 2)
            sink.add(utf16At(record.body, at));
    } else if (record.type == TextBytesAtom) { // the low bytes of UTF-16 units
        sink.separate();
        for (qint64 at = 0; at < record.body.size() && !sink.isFull(); ++at)
            sink.add(char16_t(uchar(record.body[at])));
    }
}

// What a text is on its slide, from the TextHeaderAtom before it: titles come first, then
// bodies, then text boxes and the rest, as a package's slide gives them.
enum class TextRank { Title, Body, Other };

TextRank rankOf(std::optional<quint32> kind)
{
    switch (kind.value_or(4)) {
    case 0: // title
    case 6: // centred title
        return TextRank::Title;
    case 1: // body
    case 5: // centred body
    case 7: // half body
    case 8: // quarter body
        return TextRank::Body;
    default:
        return TextRank::Other;
    }
}

// Walks records for their text atoms; a walk that has visited its budget of records stops.
class AtomWalk final
{
public:
    AtomWalk(TextSink &sink, qint64 budget)
        : m_sink(sink)
        , m_budget(budget)
    {
    }

    [[nodiscard]] bool isExhausted() const { return m_budget < 0; }

    // The text atoms in record order, or only those of rank `only`.
    void collect(QByteArrayView records, std::optional<TextRank> only = std::nullopt, int depth = 0)
    {
        TextRank rank = TextRank::Other;
        forEachRecord(records, [&](const PptRecord &record) {
            if (--m_budget < 0)
                return false;
            if (record.version == ContainerVersion) {
                if (!isMaster(record.type, record.body) && depth < MaxRecordDepth)
                    collect(record.body, only, depth + 1);
            } else if (record.type == TextHeaderAtom) {
                rank = rankOf(number<quint32>(record.body, 0));
            } else if (!only || *only == rank) {
                addTextAtom(record, m_sink);
            }
            return !m_sink.isFull() && m_budget >= 0;
        });
    }

private:
    TextSink &m_sink;
    qint64 m_budget;
};

// A slide or notes page as a slide list names it, with the text records that follow its SlidePersistAtom.
struct ListedPage {
    quint32 persistId = 0;
    quint32 slideId = 0;
    QByteArrayView texts;
};

QList<ListedPage> listedPages(QByteArrayView list)
{
    QList<ListedPage> pages;
    qint64 textsStart = 0;
    qint64 pos = 0;
    const auto closeTexts = [&](qint64 end) {
        if (!pages.isEmpty())
            pages.last().texts = list.sliced(textsStart, end - textsStart);
    };
    forEachRecord(list, [&](const PptRecord &record) {
        const qint64 end = pos + 8 + record.body.size();
        if (record.type == SlidePersistAtom) {
            closeTexts(pos);
            pages.append(
                {number<quint32>(record.body, 0).value_or(0), number<quint32>(record.body, 12).value_or(0), {}});
            textsStart = end;
        }
        pos = end;
        return true;
    });
    closeTexts(pos);
    return pages;
}

// The persist object directory: persist id to stream offset, over the chain of edits from the
// current one back to the first; an object saved again in a later edit is read there.
class PersistDirectory final
{
public:
    // Nothing when the current edit is unusable; a broken older edit ends the chain there.
    static std::optional<PersistDirectory> read(QByteArrayView document, qint64 currentEdit)
    {
        PersistDirectory directory;
        QSet<qint64> edits;
        for (qint64 at = currentEdit; at > 0 && edits.size() < MaxEdits && !edits.contains(at);) {
            edits.insert(at);
            const std::optional<PptRecord> edit = pptRecordAt(document, at);
            const std::optional<quint32> last = edit ? number<quint32>(edit->body, 8) : std::nullopt,
                                         persist = edit ? number<quint32>(edit->body, 12) : std::nullopt,
                                         documentId = edit ? number<quint32>(edit->body, 16) : std::nullopt;
            if (!edit || edit->type != UserEditAtom || !last || !persist || !documentId)
                break;
            if (edits.size() == 1)
                directory.m_documentId = *documentId;
            if (!directory.add(document, *persist))
                break;
            at = *last;
        }
        if (directory.m_offsets.isEmpty())
            return std::nullopt;
        return directory;
    }

    [[nodiscard]] quint32 documentId() const { return m_documentId; }

    // The container that persist object `id` is, if it is one of `type`.
    [[nodiscard]] std::optional<QByteArrayView> container(QByteArrayView document, quint32 id, quint16 type) const
    {
        const auto found = m_offsets.constFind(id);
        if (found == m_offsets.cend())
            return std::nullopt;
        const std::optional<PptRecord> record = pptRecordAt(document, *found);
        if (!record || record->type != type || record->version != ContainerVersion)
            return std::nullopt;
        return record->body;
    }

private:
    bool add(QByteArrayView document, qint64 at)
    {
        const std::optional<PptRecord> atom = pptRecordAt(document, at);
        if (!atom || atom->type != PersistDirectoryAtom)
            return false;
        qint64 pos = 0;
        while (const std::optional<quint32> entry = number<quint32>(atom->body, pos)) {
            const quint32 first = *entry & 0x000FFFFF, count = *entry >> 20;
            pos += 4;
            for (quint32 i = 0; i < count; ++i, pos += 4) {
                const std::optional<quint32> offset = number<quint32>(atom->body, pos);
                if (!offset || ++m_entriesRead > MaxPersistEntries)
                    return false;
                if (!m_offsets.contains(first + i)) // a newer edit's entry stays
                    m_offsets.insert(first + i, *offset);
            }
        }
        return true;
    }

    QHash<quint32, quint32> m_offsets;
    qsizetype m_entriesRead = 0; // duplicates included: edits may share a directory
    quint32 m_documentId = 0;
};

// The text slide by slide through the persist directory: the slide list's titles and bodies,
// the slide's own text boxes, then its notes. Nothing when any part of that way is unusable.
std::optional<QString> pagedText(QByteArrayView document, qint64 currentEdit, qsizetype maxLength)
{
    const std::optional<PersistDirectory> directory = PersistDirectory::read(document, currentEdit);
    const std::optional<QByteArrayView> container =
        directory ? directory->container(document, directory->documentId(), Document) : std::nullopt;
    if (!container)
        return std::nullopt;
    QList<ListedPage> slides, notes;
    forEachRecord(*container, [&](const PptRecord &record) {
        if (record.type == SlideListWithText && record.instance == SlideListInstance && slides.isEmpty())
            slides = listedPages(record.body);
        else if (record.type == SlideListWithText && record.instance == NotesListInstance && notes.isEmpty())
            notes = listedPages(record.body);
        return true;
    });
    if (slides.isEmpty())
        return std::nullopt;
    // Notes belong to the slide their NotesAtom (the first record) names. Each container is read
    // once, however many ids lead to it.
    QHash<quint32, QList<qsizetype>> notesOfSlide;
    QList<QByteArrayView> notesBodies;
    QSet<const char *> read;
    for (qsizetype i = 0; i < notes.size(); ++i) {
        const std::optional<QByteArrayView> body = directory->container(document, notes[i].persistId, Notes);
        if (!body)
            return std::nullopt;
        notesBodies.append(*body);
        const std::optional<PptRecord> atom = pptRecordAt(*body, 0);
        const quint32 slideId = atom && atom->type == NotesAtom ? number<quint32>(atom->body, 0).value_or(0) : 0;
        if (slideId != 0 && !read.contains(body->data()))
            notesOfSlide[slideId].append(i);
        read.insert(body->data());
    }
    TextSink sink(maxLength);
    // Each of the slides' records is visited three times; more is damage.
    AtomWalk walk(sink, 4 * (document.size() / 8 + 1));
    const auto addNotes = [&](const QList<qsizetype> &pages) {
        for (const qsizetype i : pages) {
            walk.collect(notes[i].texts);
            walk.collect(notesBodies[i]);
        }
    };
    read.clear();
    for (const ListedPage &slide : std::as_const(slides)) {
        const std::optional<QByteArrayView> body = directory->container(document, slide.persistId, Slide);
        if (!body)
            return std::nullopt;
        // The slide list holds the placeholders' texts of files PowerPoint wrote, the slide's
        // drawing those of other writers, and the text boxes.
        const bool firstTime = !read.contains(body->data());
        read.insert(body->data());
        for (const TextRank rank : {TextRank::Title, TextRank::Body, TextRank::Other}) {
            walk.collect(slide.texts, rank);
            if (firstTime)
                walk.collect(*body, rank);
        }
        addNotes(notesOfSlide.take(slide.slideId));
    }
    // Notes of a slide not listed come last, in the notes list's order.
    QList<qsizetype> unlisted;
    for (const QList<qsizetype> &pages : std::as_const(notesOfSlide))
        unlisted += pages;
    std::ranges::sort(unlisted);
    addNotes(unlisted);
    if (walk.isExhausted())
        return std::nullopt;
    return sink.take();
}

} // namespace

QString presentationText(QByteArrayView document, QByteArrayView currentUser, qsizetype maxLength)
{
    const std::optional<PptRecord> user = pptRecordAt(currentUser, 0);
    const std::optional<quint32> token = number<quint32>(currentUser, 12),
                                 currentEdit = number<quint32>(currentUser, 16);
    if (token == EncryptedToken)
        return {};
    if (user && user->type == CurrentUserAtom && token == PlainToken && currentEdit) {
        std::optional<QString> text = pagedText(document, *currentEdit, maxLength);
        if (text && !text->isEmpty())
            return *std::move(text);
    }
    TextSink sink(maxLength);
    AtomWalk(sink, std::numeric_limits<qint64>::max()).collect(document); // a tree: each record once
    return sink.take();
}

} // namespace BinaryOffice
