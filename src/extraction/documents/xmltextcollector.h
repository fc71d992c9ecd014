#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

/**
 * Collects the character data of every element with one qualified name ("w:t" matches only
 * elements written with that prefix; no namespace processing), in document order. A parse
 * error ends the walk and keeps what was collected; so does reaching the length bound.
 */
class XmlTextCollector final
{
public:
    /** Stops once the collected texts hold `maxLength` UTF-16 units; the last text is cut there. */
    XmlTextCollector(QString tagName, qsizetype maxLength);

    void parse(const QByteArray &xml);
    [[nodiscard]] const QStringList &texts() const { return m_texts; }

    /** The texts of `tagName` elements in `xml`, joined with single spaces. */
    [[nodiscard]] static QString joinedText(const QByteArray &xml, const QString &tagName, qsizetype maxLength);

private:
    const QString m_tagName;
    const qsizetype m_maxLength;
    QStringList m_texts;
    qsizetype m_collected = 0;
};
