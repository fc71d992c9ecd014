#include "xmltextcollector.h"

#include <QBuffer>
#include <QXmlStreamReader>

#include <algorithm>

XMLTextCollector::XMLTextCollector(XMLTextMarkup markup, qsizetype maxLength)
    : m_markup(std::move(markup))
    , m_maxLength(maxLength)
{
}

void XMLTextCollector::parse(const QByteArray &xml)
{
    if (m_full)
        return;
    // Through a device the reader decodes a few kilobytes at a time instead of the whole part.
    QBuffer device;
    device.setData(xml);
    device.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&device);
    reader.setNamespaceProcessing(false);
    int textDepth = 0;
    int depth = 0;
    int blockDepth = -1; // the depth of the open block, if any
    bool blockLeads = false;
    qsizetype blockFirst = 0;           // its first piece
    qsizetype leadEnd = m_texts.size(); // where the next lead block's pieces go
    const auto closeBlock = [&] {
        endPiece();
        if (blockLeads) {
            std::rotate(m_texts.begin() + leadEnd, m_texts.begin() + blockFirst, m_texts.end());
            leadEnd += m_texts.size() - blockFirst;
        }
        blockDepth = -1;
        blockLeads = false;
    };
    while (!reader.atEnd() && !m_full) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QStringView name = reader.qualifiedName();
            ++depth;
            if (m_lead && blockDepth < 0 && name == m_lead->block) {
                endPiece();
                blockDepth = depth;
                blockFirst = m_texts.size();
            } else if (m_lead && blockDepth >= 0 && name == m_lead->mark &&
                       m_lead->values.contains(reader.attributes().value(m_lead->attribute))) {
                blockLeads = true;
            }
            if (m_markup.pieceElements.contains(name))
                endPiece();
            if (m_markup.textElements.contains(name))
                ++textDepth;
            if (m_markup.spaceElements.contains(name))
                m_pendingSpace = !m_piece.isEmpty();
            break;
        }
        case QXmlStreamReader::Characters:
            if (textDepth > 0)
                append(reader.text());
            break;
        case QXmlStreamReader::EndElement: {
            const QStringView name = reader.qualifiedName();
            if (textDepth > 0 && m_markup.textElements.contains(name))
                --textDepth;
            if (m_markup.pieceElements.contains(name))
                endPiece();
            if (depth-- == blockDepth)
                closeBlock();
            break;
        }
        default:
            break;
        }
    }
    if (blockDepth >= 0)
        closeBlock(); // a part that breaks off keeps its last piece
    else
        endPiece();
}

bool XMLTextCollector::append(QStringView text)
{
    if (text.isEmpty())
        return true;
    if (m_pendingSpace)
        m_piece += u' ';
    m_pendingSpace = false;
    m_piece += text;
    if (m_collected + m_piece.size() < m_maxLength)
        return true;
    // Everything after this point would be cut from the excerpt anyway.
    m_piece.truncate(std::max<qsizetype>(m_maxLength - m_collected, 0));
    endPiece();
    m_full = true;
    return false;
}

void XMLTextCollector::endPiece()
{
    m_pendingSpace = false;
    // Pieces are joined with one space, so their own white space at either end is dropped.
    const QString piece = std::exchange(m_piece, QString()).trimmed();
    if (piece.isEmpty())
        return;
    m_collected += piece.size() + 1;
    m_texts << piece;
}

QString XMLTextCollector::joinedText(const QByteArray &xml, const XMLTextMarkup &markup, qsizetype maxLength)
{
    XMLTextCollector collector(markup, maxLength);
    collector.parse(xml);
    return collector.texts().join(u' ');
}
