#include "presentationpackage.h"

#include "extraction/documents/xmltextcollector.h"
#include "extraction/documents/zipentry.h"

#include <QDir>
#include <QSet>
#include <QXmlStreamReader>

namespace PresentationPackage {
namespace {

constexpr qint64 MaxPartBytes = 64 * 1024 * 1024;
constexpr qint64 MaxPackageBytes = 256 * 1024 * 1024;

// DrawingML paragraphs, in titles, text boxes, tables and notes alike.
const XMLTextMarkup &drawingMarkup()
{
    static const XMLTextMarkup markup{{QStringLiteral("a:t")}, {QStringLiteral("a:p")}, {QStringLiteral("a:br")}};
    return markup;
}

struct Relationship {
    QString id;
    QString type;
    QString target; // the part's name in the archive
};

class Parts final
{
public:
    explicit Parts(const QByteArray &archive)
        : m_archive(archive)
    {
    }

    std::optional<QByteArray> read(const QString &name)
    {
        if (m_budget <= 0 || m_seen.contains(name))
            return std::nullopt;
        m_seen.insert(name);
        std::optional<QByteArray> part = ZipEntry::read(m_archive, name, std::min(MaxPartBytes, m_budget));
        if (part)
            m_budget -= part->size();
        return part;
    }

    // The relationships of `part` (its _rels/<name>.rels), targets resolved against its folder.
    QList<Relationship> relationships(const QString &part)
    {
        const qsizetype slash = part.lastIndexOf(u'/');
        const QString folder = part.left(slash + 1);
        const std::optional<QByteArray> rels =
            read(folder + QStringLiteral("_rels/") + part.sliced(slash + 1) + QStringLiteral(".rels"));
        QList<Relationship> found;
        if (!rels)
            return found;
        QXmlStreamReader reader(*rels);
        while (!reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != u"Relationship")
                continue;
            const QXmlStreamAttributes attributes = reader.attributes();
            if (attributes.value(QStringLiteral("TargetMode")) == u"External")
                continue;
            const QString target = attributes.value(QStringLiteral("Target")).toString();
            found.append({attributes.value(QStringLiteral("Id")).toString(),
                          attributes.value(QStringLiteral("Type")).toString(),
                          QDir::cleanPath(target.startsWith(u'/') ? target.sliced(1) : folder + target)});
        }
        return found;
    }

private:
    const QByteArray &m_archive;
    QSet<QString> m_seen;
    qint64 m_budget = MaxPackageBytes;
};

// The slide parts in the order of the presentation's slide list.
QStringList listedSlides(Parts &parts)
{
    const QString presentation = QStringLiteral("ppt/presentation.xml");
    const std::optional<QByteArray> xml = parts.read(presentation);
    if (!xml)
        return {};
    QStringList ids;
    QXmlStreamReader reader(*xml);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != u"sldId")
            continue;
        for (const QXmlStreamAttribute &attribute : reader.attributes()) {
            if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty()) // r:id, not the slide number
                ids << attribute.value().toString();
        }
    }
    const QList<Relationship> relationships = parts.relationships(presentation);
    QStringList slides;
    for (const QString &id : std::as_const(ids)) {
        const auto found = std::ranges::find(relationships, id, &Relationship::id);
        if (found != relationships.end())
            slides << found->target;
    }
    return slides;
}

} // namespace

QString text(const QByteArray &archive, qsizetype maxLength)
{
    Parts parts(archive);
    QStringList slides = listedSlides(parts);
    if (slides.isEmpty())
        slides = ZipEntry::numbered(ZipEntry::names(archive), u"ppt/slides/slide");
    XMLTextCollector collector(drawingMarkup(), maxLength);
    collector.setLeadBlock({QStringLiteral("p:sp"),
                            QStringLiteral("p:ph"),
                            QStringLiteral("type"),
                            {QStringLiteral("title"), QStringLiteral("ctrTitle")}});
    for (const QString &slide : std::as_const(slides)) {
        if (collector.isFull())
            break;
        const std::optional<QByteArray> xml = parts.read(slide);
        if (!xml)
            continue;
        collector.parse(*xml);
        for (const Relationship &relationship : parts.relationships(slide)) {
            if (relationship.type.endsWith(u"/notesSlide")) {
                if (const std::optional<QByteArray> notes = parts.read(relationship.target))
                    collector.parse(*notes);
            }
        }
    }
    return collector.texts().join(u' ');
}

} // namespace PresentationPackage
