#include "xmltextcollector.h"

#include <QBuffer>
#include <QXmlStreamReader>

XmlTextCollector::XmlTextCollector(QString tagName, qsizetype maxLength)
    : m_tagName(std::move(tagName))
    , m_maxLength(maxLength)
{
}

void XmlTextCollector::parse(const QByteArray &xml)
{
    // Through a device the reader decodes a few kilobytes at a time instead of the whole part.
    QBuffer device;
    device.setData(xml);
    device.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&device);
    reader.setNamespaceProcessing(false);
    bool inTag = false;
    QString current;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (reader.qualifiedName() == m_tagName) {
                inTag = true;
                current.clear();
            }
            break;
        case QXmlStreamReader::Characters:
            if (inTag) {
                current += reader.text();
                if (m_collected + current.size() >= m_maxLength) {
                    // Everything after this point would be cut from the excerpt anyway.
                    m_texts << current.left(m_maxLength - m_collected);
                    return;
                }
            }
            break;
        case QXmlStreamReader::EndElement:
            if (reader.qualifiedName() == m_tagName) {
                inTag = false;
                if (!current.isEmpty()) {
                    m_texts << current;
                    m_collected += current.size() + 1;
                }
            }
            break;
        default:
            break;
        }
    }
}

QString XmlTextCollector::joinedText(const QByteArray &xml, const QString &tagName, qsizetype maxLength)
{
    XmlTextCollector collector(tagName, maxLength);
    collector.parse(xml);
    return collector.texts().join(u' ');
}
