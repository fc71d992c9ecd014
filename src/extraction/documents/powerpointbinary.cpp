#include "binaryoffice.h"
#include "binaryofficestream.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace BinaryOffice {
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
